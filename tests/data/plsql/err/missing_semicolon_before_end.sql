-- A statement that lacks its ";" before a word that ends its statement list gets one
-- "expected ;" there, and the word still closes the block, IF, CASE, loop or handler.
begin null end;
/
begin x := 1 end;
/
begin p(1) end;
/
begin if a then null; end if end;
/
create function f return number is begin return end;
/
begin commit end;
/
begin delete from t end;
/
begin select a into b from t where c = 1 exception when others then null; end;
/
begin if a then x := 1 elsif b then rollback else y := 2 end if; case v when 1 then p(1) when 2 then raise else null end case; loop exit end loop; end;
/
begin loop null; end loop end;
/
begin case when a then null; end case exception when no_data_found then y := 2 when others then raise end;
/
begin begin null; end end;
/
