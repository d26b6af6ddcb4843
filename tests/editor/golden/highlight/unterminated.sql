select 1 from dual;
/* this comment never ends
select 2 from dual;
'nor does this string
