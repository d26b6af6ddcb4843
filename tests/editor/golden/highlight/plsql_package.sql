create or replace package body emp_api is
  /* Raises the salary of one employee.
     Returns the new salary. */
  function raise_salary(p_empno in number, p_pct in number := 10) return number is
    v_sal emp.sal%type;
  begin
    select sal into v_sal from emp where empno = p_empno for update;
    v_sal := v_sal * (1 + p_pct / 100);
    update emp set sal = v_sal where empno = p_empno;
    dbms_output.put_line('New salary: ' || to_char(v_sal, '99990.00'));
    return v_sal;
  exception
    when no_data_found then
      raise_application_error(-20001, 'No employee ' || p_empno); -- keep the number
  end raise_salary;
end emp_api;
/
