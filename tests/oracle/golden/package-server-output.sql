begin
  sys.dbms_output.enable(buffer_size => :buffer_size);
end;
/
begin
  chatter(:p1);
end;
/
begin
  sys.dbms_output.get_line(line => :line, status => :status);
end;
/
begin
  sys.dbms_output.get_line(line => :line, status => :status);
end;
/
begin
  sys.dbms_output.get_line(line => :line, status => :status);
end;
/
begin
  sys.dbms_output.get_line(line => :line, status => :status);
end;
/
begin
  sys.dbms_output.disable;
end;
/
