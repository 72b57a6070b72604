prompt one -
two -
three
prompt ends at a blank line -

select 1 -
  from dual;
select 2 from dual -
/
remark a remark never continues -
select 3 from dual;
  /* comment */ set echo on
select 4 from dual; prompt not a command;
$ ls -l
!pwd
@ run.sql
select 5 from dual
