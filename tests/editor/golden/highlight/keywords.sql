SELECT Count(*), MAX (sal),sum;From Emp e
where e.deptno IN (10,20) and rownum<5 ORDER BY 1 desc;
begin null; end;
selects fromage where_clause x.select select.x
