-- Object names written with substitution variables, as installers do.
create index &o..i on &o..t (a);
create sequence &o..s;
create synonym &o..syn for &o..t;
create or replace view &o..v as select 1 x from dual;
create table &o..t2 (a number references &o..t (a));
create table &&o..t3 as select * from &o..t;
alter table &o..t add (b number);
comment on table &o..t is 'x';
insert into &o..t values (1);
call &o..pr(1);
call &proc;
select * from only (&o..v);
create table t_&sfx (a &o..ty);
