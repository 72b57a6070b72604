-- A typo in the middle of a body: the statements after it keep their own nodes.
CREATE OR REPLACE PROCEDURE p IS
  l_total NUMBER := 0;
BEGIN
  l_total := l_total + 1;
  l_total = l_total + 2;
  IF l_total > 2 THEN
    UPDATE t SET v = l_total WHERE id = 1
    DELETE FROM t WHERE id = 2;
  END IF;
  l_total := 42 43;
  FOR i IN 1..10 l_total := i; END LOOP;
  FORALL i IN 1..n;
  COMMIT;
  begin null; end
  x := 1;
END p;
/
