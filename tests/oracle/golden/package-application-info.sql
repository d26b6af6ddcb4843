begin
  sys.dbms_application_info.set_module(module_name => :module_name, action_name => :action_name);
end;
/
begin
  sys.dbms_application_info.set_client_info(client_info => :client_info);
end;
/
