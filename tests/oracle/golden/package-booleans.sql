declare
  zeb__boolean1 boolean := sys.diutil.int_to_bool(:p1);
  zeb__boolean2 boolean := sys.diutil.int_to_bool(:p2);
begin
  negate(zeb__boolean1, zeb__boolean2);
  :p1 := sys.diutil.bool_to_int(zeb__boolean1);
  :p2 := sys.diutil.bool_to_int(zeb__boolean2);
end;
/
declare
  zeb__boolean1 boolean := sys.diutil.int_to_bool(:p1);
begin
  toggle(zeb__boolean1);
  :p1 := sys.diutil.bool_to_int(zeb__boolean1);
end;
/
begin
  :zeb__value := sys.diutil.bool_to_int(is_even(:p1));
end;
/
begin
  :zeb__value := sys.diutil.bool_to_int(is_even(:p1));
end;
/
begin
  :zeb__value := sys.diutil.bool_to_int(is_even(Null));
end;
/
begin
  :zeb__value := sys.diutil.bool_to_int(is_even(Null));
end;
/
