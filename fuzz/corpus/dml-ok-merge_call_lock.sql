MERGE INTO customers c
USING (SELECT id, name, email FROM staging_customers WHERE batch = 42) s
   ON (c.id = s.id)
 WHEN MATCHED THEN
   UPDATE SET c.name = s.name, c.email = s.email
   WHERE c.locked = 'N'
   DELETE WHERE s.email IS NULL
 WHEN NOT MATCHED THEN
   INSERT (id, name, email) VALUES (s.id, s.name, s.email)
   WHERE s.email IS NOT NULL
LOG ERRORS INTO err$_customers REJECT LIMIT UNLIMITED;

MERGE INTO t USING s JOIN u ON s.k = u.k ON (t.id = s.id)
WHEN NOT MATCHED THEN INSERT VALUES (s.id, u.v)
WHEN MATCHED THEN UPDATE SET t.v = u.v;

CALL pkg.proc(1, 'a');
CALL f(2) INTO :result;
CALL "Proc"();

LOCK TABLE emp, dept IN EXCLUSIVE MODE NOWAIT;
LOCK TABLE sales PARTITION (q1) IN SHARE MODE;
