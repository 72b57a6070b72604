CREATE TABLE departments (
  department_id   NUMBER(4) CONSTRAINT dept_id_pk PRIMARY KEY,
  department_name VARCHAR2(30 CHAR) NOT NULL,
  location_id     NUMBER(4)
);

CREATE TABLE employees (
  employee_id   NUMBER(6),
  email         VARCHAR2(25) CONSTRAINT emp_email_nn NOT NULL,
  hire_date     DATE DEFAULT SYSDATE,
  salary        NUMBER(8,2),
  department_id NUMBER(4),
  CONSTRAINT emp_emp_id_pk PRIMARY KEY (employee_id),
  CONSTRAINT emp_dept_fk FOREIGN KEY (department_id) REFERENCES departments
);

CREATE OR REPLACE VIEW emp_details AS
  SELECT e.employee_id, e.email AS mail, d.department_name dept
    FROM employees e JOIN departments d ON d.department_id = e.department_id;

CREATE SEQUENCE employees_seq START WITH 207 INCREMENT BY 1;

CREATE OR REPLACE PACKAGE emp_mgmt AS
  c_max_raise CONSTANT NUMBER(3,2) := 0.25;
  g_last_id   employees.employee_id%TYPE;
  no_such_emp EXCEPTION;
  CURSOR c_dept (p_id NUMBER) RETURN departments%ROWTYPE;
  FUNCTION hire (p_email VARCHAR2, p_dept NUMBER) RETURN NUMBER;
  PROCEDURE fire (p_id NUMBER);
END emp_mgmt;
/

CREATE OR REPLACE TYPE address_t AS OBJECT (
  street VARCHAR2(40),
  city   VARCHAR2(30),
  MEMBER FUNCTION label RETURN VARCHAR2
);
/

CREATE OR REPLACE PROCEDURE raise_salary (p_id NUMBER, p_pct NUMBER) IS
BEGIN
  UPDATE employees SET salary = salary * (1 + p_pct / 100) WHERE employee_id = p_id;
END;
/

CREATE OR REPLACE TRIGGER employees_bi
  BEFORE INSERT ON employees FOR EACH ROW
BEGIN
  :new.employee_id := employees_seq.NEXTVAL;
END;
/

CREATE PUBLIC SYNONYM emp FOR hr.employees;
CREATE SYNONYM remote_emp FOR scott.emp@sales.example;
