-- Closing names written with substitution variables, alone or glued to a name.
create or replace package &pkg as procedure p; end &pkg;
/
create or replace package body &&pkg as procedure p is begin null; end p; end &&pkg;
/
create or replace procedure &o..p_&s is begin null; end p_&s;
/
create or replace type body &o..ty as member function f return number is begin return 1; end; end &ty;
/
