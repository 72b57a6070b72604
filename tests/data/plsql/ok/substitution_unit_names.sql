-- Unit names, trigger targets and type references written with substitution variables.
create or replace trigger &owner..trg before insert on t for each row begin null; end;
/
create or replace trigger &o..trg2 after update on &o..t for each row follows &o..trg
begin
  null;
end;
/
create or replace trigger trg_&sfx before delete on t_&sfx call &o..log_delete
/
create or replace package &o..p as procedure x; end;
/
create or replace package body &pkg as procedure x is begin null; end; end;
/
create or replace procedure &o..pr is v &o..ty; begin null; end;
/
create or replace function &o..fn return number is begin return 1; end;
/
create or replace type &o..ty as object (a number);
/
create or replace type &o..tt as table of &o..ty;
/
create or replace type body &o..ty as member function f return number is begin return 1; end; end;
/
