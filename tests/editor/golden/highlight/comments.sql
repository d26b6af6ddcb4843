-- a line comment with select and 12
select 1 from dual; -- trailing /* not a block
/* a block
   over several select lines
   -- with a line comment inside */ select 2 from dual
/*/ still open */ where
/**/select/* a */from
