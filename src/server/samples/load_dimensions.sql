-- Nightly load of the warehouse dimensions from the staging area.
ALTER SESSION SET CURRENT_SCHEMA = dwh_load;

CREATE OR REPLACE PACKAGE load_dimensions AS
  PROCEDURE clear_rejects (p_batch_id IN NUMBER);
  PROCEDURE merge_segments;
  PROCEDURE load_customers (p_load_date IN DATE);
  PROCEDURE load_products;
  PROCEDURE reload_departments;
  PROCEDURE load_employees;
  PROCEDURE run_all (p_batch_id IN NUMBER, p_load_date IN DATE);
END load_dimensions;
/

CREATE OR REPLACE PACKAGE BODY load_dimensions AS

  PROCEDURE clear_rejects (p_batch_id IN NUMBER) IS
  BEGIN
    EXECUTE IMMEDIATE 'DELETE FROM stg_rejects WHERE batch_id = :b AND kept = :k' -- @dyn DYN-11 D1
      USING p_batch_id, 'N';
  END clear_rejects;

  PROCEDURE merge_segments IS
  BEGIN
    EXECUTE IMMEDIATE 'MERGE INTO segment_lookup t'
      || ' USING (SELECT segment_code, segment_name FROM stg_segments) s'
      || ' ON (t.segment_code = s.segment_code)'
      || ' WHEN MATCHED THEN UPDATE SET t.segment_name = s.segment_name'
      || ' WHEN NOT MATCHED THEN INSERT (segment_code, segment_name)'
      || ' VALUES (s.segment_code, s.segment_name)'; -- @dyn DYN-12 D1
  END merge_segments;

  PROCEDURE load_customers (p_load_date IN DATE) IS
  BEGIN
    -- Type 2: close the rows that changed, then add their new versions.
    EXECUTE IMMEDIATE 'UPDATE dim_customer c SET c.valid_to = :d, c.is_current = ''N'''
      || ' WHERE c.is_current = ''Y'' AND EXISTS (SELECT 1 FROM stg_customers s'
      || ' WHERE s.customer_id = c.customer_id AND s.customer_name <> c.customer_name)'
      USING p_load_date; -- @dyn DYN-17 D2
    EXECUTE IMMEDIATE 'INSERT INTO dim_customer (customer_key, customer_id, customer_name,'
      || ' segment_code, valid_from, is_current)'
      || ' SELECT customer_seq.NEXTVAL, s.customer_id, s.customer_name, s.segment_code, :d, ''Y'''
      || ' FROM stg_customers s WHERE NOT EXISTS (SELECT 1 FROM dim_customer c'
      || ' WHERE c.customer_id = s.customer_id AND c.is_current = ''Y'')'
      USING p_load_date; -- @dyn DYN-18 D2
  END load_customers;

  PROCEDURE load_products IS
  BEGIN
    MERGE INTO dim_product p
    USING (SELECT product_code, product_name, category, list_price FROM stg_products) s
       ON (p.product_code = s.product_code)
     WHEN MATCHED THEN UPDATE SET p.product_name = s.product_name, p.category = s.category
     WHEN NOT MATCHED THEN
       INSERT (product_key, product_code, product_name, category, list_price)
       VALUES (product_seq.NEXTVAL, s.product_code, s.product_name, s.category, s.list_price);
    EXECUTE IMMEDIATE 'UPDATE dim_product p SET p.list_price = (SELECT MAX(s.list_price)'
      || ' FROM stg_products s WHERE s.product_code = p.product_code)'
      || ' WHERE p.list_price IS NULL'; -- @dyn DYN-19 D2
  END load_products;

  PROCEDURE reload_departments IS
  BEGIN
    EXECUTE IMMEDIATE 'TRUNCATE TABLE dim_department'; -- @dyn DYN-20 D3
    INSERT INTO dim_department (department_key, department_name)
    SELECT department_id, department_name FROM stg_departments;
  END reload_departments;

  PROCEDURE load_employees IS
    v_key   dim_employee.employee_key%TYPE;
    v_name  dim_employee.employee_name%TYPE;
  BEGIN
    FOR r IN (SELECT employee_id, first_name, last_name FROM stg_employees) LOOP
      v_key := r.employee_id;
      v_name := r.first_name || ' ' || r.last_name;
      INSERT INTO dim_employee (employee_key, employee_name) VALUES (v_key, v_name);
    END LOOP;
  END load_employees;

  PROCEDURE run_all (p_batch_id IN NUMBER, p_load_date IN DATE) IS
  BEGIN
    clear_rejects(p_batch_id);
    merge_segments;
    load_customers(p_load_date);
    load_products;
    reload_departments;
    load_employees;
    COMMIT;
  END run_all;

END load_dimensions;
/
