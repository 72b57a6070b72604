-- A substitution variable as the head of a call or a constructor.
BEGIN
  x := &&t.();
  y := &&s..pkg.f(1, 2);
END;
/
select * from table(&&s..pkg.f(1));
select &&s..pkg.f(1) from dual;
