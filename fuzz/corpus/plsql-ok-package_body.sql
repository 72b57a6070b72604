CREATE OR REPLACE PACKAGE BODY hr.emp_api AS
  -- forward declaration of a private subprogram
  PROCEDURE log_change (p_text VARCHAR2);

  FUNCTION get (p_id IN NUMBER) RETURN emp_rec IS
    l_rec emp_rec;
  BEGIN
    SELECT employee_id, last_name INTO l_rec.id, l_rec.name FROM employees WHERE employee_id = p_id;
    RETURN l_rec;
  EXCEPTION
    WHEN NO_DATA_FOUND THEN
      RAISE e_not_found;
    WHEN TOO_MANY_ROWS OR VALUE_ERROR THEN
      log_change('odd ' || p_id);
      RAISE;
  END get;

  FUNCTION get (p_name IN VARCHAR2, p_exact IN BOOLEAN DEFAULT TRUE) RETURN emp_rec RESULT_CACHE IS
  BEGIN
    RETURN get(TO_NUMBER(p_name));
  END;

  PROCEDURE raise_salary (p_id IN NUMBER, p_pct IN OUT NOCOPY NUMBER) IS
  BEGIN
    UPDATE employees SET salary = salary * (1 + p_pct / 100) WHERE employee_id = p_id;
    IF SQL%ROWCOUNT = 0 THEN
      RAISE_APPLICATION_ERROR(-20001, 'no such employee');
    END IF;
    log_change('raised ' || p_id);
  END raise_salary;

  FUNCTION list_all RETURN emp_tab PIPELINED IS
  BEGIN
    FOR r IN c_all LOOP
      PIPE ROW (emp_rec(r.employee_id, r.last_name));
    END LOOP;
    RETURN;
  END list_all;

  PROCEDURE log_change (p_text VARCHAR2) IS
    PRAGMA AUTONOMOUS_TRANSACTION;
  BEGIN
    INSERT INTO change_log (logged_at, text) VALUES (SYSTIMESTAMP, p_text);
    COMMIT;
  END log_change;
BEGIN
  g_counter := 0;
EXCEPTION
  WHEN OTHERS THEN
    NULL;
END emp_api;
/
