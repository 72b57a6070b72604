REM =====================================================================
REM  install.sql - installs the HR demo objects
REM =====================================================================
set echo off
set feedback off
SET SERVEROUTPUT ON SIZE UNLIMITED
set define on
whenever sqlerror exit sql.sqlcode rollback
whenever oserror exit failure

prompt Installing into schema &&schema_name ...
define tablespace = users
def suffix = _v2
accept pw char prompt 'Password: ' hide

-- tables first
create table &&schema_name..departments (
  department_id   number(4) primary key,
  department_name varchar2(30) not null -- no default
);

/* employees: the audit columns are filled by a trigger */
create table &&schema_name..employees (
  employee_id number(6) primary key,
  last_name   varchar2(25),
  salary      number(8,2),
  created_by  varchar2(30),
  department_id number(4) references departments
) tablespace &tablespace;

insert into departments values (10, 'Administration');
insert into departments values (20, 'It''s Marketing');
commit;

@@tables/locations.sql
@?/rdbms/admin/utlrp.sql

create or replace package hr_api as
  procedure hire(p_name in varchar2, p_salary in number);
  function headcount return pls_integer;
end hr_api;
/
show errors

create or replace package body hr_api as
  procedure hire(p_name in varchar2, p_salary in number) is
  begin
    insert into employees (employee_id, last_name, salary)
    values (employees_seq.nextval, p_name, p_salary);
  end hire;

  function headcount return pls_integer is
    l_count pls_integer;
  begin
    select count(*) into l_count from employees;
    return l_count;
  end headcount;
end hr_api;
/

create or replace trigger employees_bi
  before insert on employees
  for each row
begin
  :new.created_by := user;
end;
/

declare
  l_total number;
begin
  l_total := hr_api.headcount;
  dbms_output.put_line('employees: ' || l_total);
end;
/

exec hr_api.hire('King', 24000);
execute immediate_flag_setter;

column last_name format a25 heading 'Last' -
  justify left
select last_name, salary
  from employees
 where salary > &min_salary
 order by 1;
   /

spool off
host echo done
undefine schema_name
exit
