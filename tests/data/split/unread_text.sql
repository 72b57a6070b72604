REM Text SQL*Plus sends unread up to its "/" line: a quote or a comment opener in it
REM opens nothing past that line, and the next statement starts after it.
create or replace and compile java source named "A" as
public class A {
  // it's here
  public static int f() { return 1; }
}
/
select 1 from dual;
create or replace package p wrapped
a
3 X'Y:
/
create or replace package q wrapped
b
/
create or replace mle module m language javascript as
// don't
export function f() { return 1; }
/
drop table hr.important;
create or replace function g return number
  as mle language javascript {{ /* don't */ return 1; // it's }};
/
grant dba to public;
create or replace package body r wrapped
a000000
/*
/
-- that's all */
