-- The 23ai CASE controls belong to PL/SQL: in an embedded SQL statement and in a
-- searched CASE a list or a dangling predicate is an error, as is a dangling predicate
-- joined to another by AND.
BEGIN
  SELECT CASE x WHEN 1, 2 THEN 'a' END INTO s FROM dual;
  s := CASE WHEN < 1 THEN 'a' END;
  s := CASE x WHEN < 1 AND > 0 THEN 'a' END;
END;
/
