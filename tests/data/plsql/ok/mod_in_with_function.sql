-- WITH functions are PL/SQL: a MOD b is the modulus operator there, not in the query.
with function is_odd(n number) return number is begin return n mod 2; end;
select is_odd(3), mod(4, 3) from dual
/
