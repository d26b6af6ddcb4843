begin
  show_args(:p1, Null, Null, :p4);
end;
/
begin
  show_args(c => :c, b => Null, a => :a, r => :r);
end;
/
