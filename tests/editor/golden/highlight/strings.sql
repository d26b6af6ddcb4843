select 'it''s', 'a -- b', '/* c */' from dual;
insert into t values ('first line
second line', 42);
select q'[x]' , '' , 'where' where
