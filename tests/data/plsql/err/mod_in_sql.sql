-- In SQL, MOD is only a function: a MOD b is not an operator there, also inside PL/SQL.
select a mod 2 from t;
begin
  select n mod 2 into x from dual;
end;
/
