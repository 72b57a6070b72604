-- Oracle 23ai CASE controls in PL/SQL: a simple CASE's WHEN takes a list of values and
-- dangling predicates (a comparison, IS [NOT] NULL, [NOT] IN, [NOT] BETWEEN, [NOT] LIKE
-- without the left operand), in CASE expressions and CASE statements alike; a CASE inside
-- an embedded SQL statement stays SQL, and a searched CASE keeps its conditions.
DECLARE
  x NUMBER := 5;
  s VARCHAR2(10) := CASE x WHEN 1, 2 THEN 'low' ELSE 'other' END;
BEGIN
  s := case x when <= 25 then 'a' when > 25 then 'b' end;
  s := CASE x WHEN IS NULL THEN 'n' WHEN NOT IN (3, 4), BETWEEN 5 AND 6 THEN 'c'
              WHEN NOT BETWEEN -1 AND 0 THEN 'd' WHEN = ANY (7, 8), <> 9 THEN 'e' END;
  s := CASE s WHEN LIKE 'a%' ESCAPE '\', NOT LIKE 'b_' THEN 'f' WHEN IS NOT NULL THEN 'g' END;
  s := CASE x WHEN < x + 1 THEN CASE x WHEN >= 0 THEN 'h' END END;
  CASE x
    WHEN < 0, = 0 THEN NULL;
    WHEN 1, 2, 3 THEN s := 'i';
    WHEN IS NOT NULL THEN NULL;
  END CASE;
  CASE WHEN x < 0 THEN NULL; ELSE NULL; END CASE;
  SELECT CASE x WHEN 1 THEN 'a' END INTO s FROM dual;
END;
/
