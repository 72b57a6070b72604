-- MOD between two operands is the modulus operator in PL/SQL, with the power of * and /.
declare
  v_even number := n mod 2;
begin
  if n mod 2 = 0 then
    null;
  end if;
  x := a + b mod c * d;
  y := -n mod 3;
  z := mod(n, 2);
  for i in 1 .. n mod 3 loop
    null;
  end loop;
  select mod(a, 2) into w from t;
end;
/
create or replace function is_odd(n in number) return boolean is
begin
  return n mod 2 = 1;
end;
/
