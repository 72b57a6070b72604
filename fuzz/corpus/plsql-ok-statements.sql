<<outer>> DECLARE
  x NUMBER;
BEGIN
  x := 1;
  :b := 2;
  p(1);
  pkg.p;
  rec.field(3).value := x + 1;
  commit;
  commit := 1;
  set transaction read only;
  set(1);
  set_x(1);
  lock table t in share mode;
  exit(1);
  exit := 2;
  pipe(1);
  execute(1);
  "IF" := 1;
  null;
  savepoint s1;
  rollback to s1;
  merge INTO t USING s ON (t.id = s.id) WHEN MATCHED THEN UPDATE SET t.v = s.v;
  WITH q AS (SELECT 1 AS n FROM dual) SELECT n INTO x FROM q;
  SELECT type INTO x FROM types WHERE rownum = 1;
  DELETE FROM t WHERE CURRENT OF c;
  BEGIN
    NULL;
  END;
  DECLARE
    y NUMBER;
  BEGIN
    y := x;
  END inner_block;
  RAISE;
  RAISE pkg.bad_thing;
  RETURN;
  RETURN x + 1;
  CLOSE c;
END outer;
/
WITH FUNCTION double_it (n NUMBER) RETURN NUMBER IS
BEGIN
  RETURN n * 2;
END;
SELECT double_it(level) FROM dual CONNECT BY level <= 3
/
