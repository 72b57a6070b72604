-- Cursors that lock their rows: the FOR UPDATE clause follows the query in a
-- cursor declaration, in OPEN ... FOR and in a cursor FOR loop's subquery.
CREATE OR REPLACE PROCEDURE raise_salaries (p_dept IN NUMBER) IS
  CURSOR c_emp IS
    SELECT empno, sal FROM emp WHERE deptno = p_dept FOR UPDATE OF sal NOWAIT;
  rc SYS_REFCURSOR;
BEGIN
  FOR r IN c_emp LOOP
    UPDATE emp SET sal = r.sal * 1.1 WHERE CURRENT OF c_emp;
  END LOOP;
  OPEN rc FOR SELECT empno FROM emp WHERE deptno = p_dept FOR UPDATE SKIP LOCKED;
  CLOSE rc;
  FOR r IN (SELECT empno FROM emp WHERE deptno = p_dept FOR UPDATE WAIT 5) LOOP
    NULL;
  END LOOP;
END raise_salaries;
/
