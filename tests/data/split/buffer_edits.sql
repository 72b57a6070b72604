rem Buffer edits, numbered lines and "." lines between real statements.
oradebug setmypid
oradebug tracefile_name
select sid from v$mystat where rownum = 1;
get report.sql
list
l 2
c /sid/serial#/
2 from v$session
ed
select a,
       b -
       c total
  from t;
insert into t values (1, -
  2, -
  3);
select 1 from dual
.
spool out.txt
/
begin
  null;
.
/
.
set echo on
select t . c from t;
save last.sql replace
