CREATE OR REPLACE PROCEDURE archive_orders (p_days IN PLS_INTEGER DEFAULT 30) AUTHID CURRENT_USER IS
  TYPE id_tab IS TABLE OF orders.id%TYPE INDEX BY PLS_INTEGER;
  TYPE rc_type IS REF CURSOR;
  l_ids id_tab;
  l_rc rc_type;
  l_sql VARCHAR2(4000) := 'SELECT id FROM orders WHERE created < SYSDATE - :d';
  l_new_id NUMBER;
  CURSOR c_old (p_cutoff DATE) IS SELECT id FROM orders WHERE created < p_cutoff;
  bulk_errors EXCEPTION;
  PRAGMA EXCEPTION_INIT(bulk_errors, -24381);
BEGIN
  OPEN c_old(SYSDATE - p_days);
  LOOP
    FETCH c_old BULK COLLECT INTO l_ids LIMIT 1000;
    EXIT WHEN l_ids.COUNT = 0;
    FORALL i IN 1 .. l_ids.COUNT SAVE EXCEPTIONS
      INSERT INTO orders_archive SELECT * FROM orders WHERE id = l_ids(i);
    FORALL i IN INDICES OF l_ids
      DELETE FROM orders WHERE id = l_ids(i);
  END LOOP;
  CLOSE c_old;

  OPEN l_rc FOR l_sql USING p_days;
  FETCH l_rc INTO l_new_id;
  CLOSE l_rc;
  OPEN l_rc FOR SELECT id FROM orders_archive ORDER BY id;

  EXECUTE IMMEDIATE 'INSERT INTO audit_log (n) VALUES (:n) RETURNING id INTO :id'
    USING l_ids.COUNT RETURNING INTO l_new_id;
  EXECUTE IMMEDIATE 'SELECT COUNT(*) FROM orders' INTO l_new_id;
  EXECUTE IMMEDIATE l_sql BULK COLLECT INTO l_ids USING IN p_days;
  FORALL i IN VALUES OF l_ids EXECUTE IMMEDIATE 'DELETE FROM t WHERE id = :1' USING l_ids(i);

  FOR r IN (SELECT id, total FROM orders_archive WHERE total > 100) LOOP
    DBMS_OUTPUT.PUT_LINE(r.id || ': ' || r.total);
  END LOOP;
  FOR r IN c_old(SYSDATE) LOOP
    NULL;
  END LOOP;
EXCEPTION
  WHEN bulk_errors THEN
    FOR j IN 1 .. SQL%BULK_EXCEPTIONS.COUNT LOOP
      DBMS_OUTPUT.PUT_LINE(SQL%BULK_EXCEPTIONS(j).ERROR_INDEX);
    END LOOP;
END archive_orders;
/
