-- The functions of a WITH clause are PL/SQL: MOD between two operands is the modulus
-- operator there, while the query around them keeps the MOD function.
with function is_odd(n number) return number is
begin
  return n mod 2;
end;
select is_odd(3), mod(4, 3) from dual
/
