begin
  :zeb__value := twice(:p1);
end;
/
begin
  describe_emp(no => :no, name => :name, salary => :salary, hired => :hired, factor => :factor);
end;
/
begin
  :zeb__value := twice(:p1);
end;
/
