-- Broken iterators of qualified expressions, a dynamic cursor without ")" and a
-- comparison or a reserved word as a size.
DECLARE
  v RAW(c = 1);
  w RAW(SELECT);
BEGIN
  x := t(FOR i IN 1..3 i);
  x := t(FOR i IN 1..3 SEQUENCE i);
  FOR r IN (EXECUTE IMMEDIATE 'x' LOOP NULL; END LOOP;
  y := 1;
END;
/
