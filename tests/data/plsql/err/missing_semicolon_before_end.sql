-- A statement that lacks its ";" before a word that ends its statement list gets one
-- "expected ;" there, and the word still closes the block, IF, CASE or handler.
begin
  null
end;
/
begin
  x := 1
end;
/
begin
  p(1)
end;
/
begin
  if a then null; end if
end;
/
create function f return number is
begin
  return
end;
/
begin commit end;
/
begin
  if a then x := 1 else y := 2; end if;
end;
/
begin
  if a then rollback elsif b then null; end if;
end;
/
begin
  case v when 1 then p(1) when 2 then null; end case;
end;
/
begin
  loop exit when x > 1; x := x + 1 end loop;
end;
/
begin
  x := 1
exception
  when no_data_found then y := 2
  when others then raise
end;
/
begin
  loop null; end loop
end;
/
begin
  case when a then null; end case
exception when others then null;
end;
/
begin
  loop exit end loop;
end;
/
begin
  begin null; end
end;
/
