-- A package spec with types, constants, cursors, exceptions and overloads.
CREATE OR REPLACE EDITIONABLE PACKAGE hr.emp_api AUTHID CURRENT_USER
  ACCESSIBLE BY (PACKAGE hr.emp_tests, PROCEDURE hr.nightly)
AS
  c_max_salary CONSTANT NUMBER(10, 2) := 100000;
  g_counter PLS_INTEGER NOT NULL DEFAULT 0;
  e_not_found EXCEPTION;
  PRAGMA EXCEPTION_INIT(e_not_found, -20001);
  TYPE emp_rec IS RECORD (id employees.employee_id%TYPE, name VARCHAR2(100) NOT NULL := 'x');
  TYPE emp_tab IS TABLE OF emp_rec INDEX BY PLS_INTEGER;
  TYPE emp_cur IS REF CURSOR RETURN employees%ROWTYPE;
  SUBTYPE small_int IS PLS_INTEGER RANGE -10 .. 10 NOT NULL;
  CURSOR c_by_dept (p_dept NUMBER) RETURN employees%ROWTYPE;
  CURSOR c_all IS SELECT * FROM employees ORDER BY employee_id;
  FUNCTION get (p_id IN NUMBER) RETURN emp_rec;
  FUNCTION get (p_name IN VARCHAR2, p_exact IN BOOLEAN DEFAULT TRUE) RETURN emp_rec RESULT_CACHE;
  PROCEDURE raise_salary (p_id IN NUMBER, p_pct IN OUT NOCOPY NUMBER);
  FUNCTION list_all RETURN emp_tab PIPELINED;
END emp_api;
/
