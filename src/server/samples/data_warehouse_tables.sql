-- Sales warehouse: a star schema around two fact tables.
ALTER SESSION SET CURRENT_SCHEMA = dwh;

CREATE SEQUENCE customer_seq START WITH 1 INCREMENT BY 1 NOCACHE;
CREATE SEQUENCE product_seq START WITH 1 INCREMENT BY 1 NOCACHE;
CREATE SEQUENCE employee_seq START WITH 1 INCREMENT BY 1 NOCACHE;
CREATE SEQUENCE sale_seq START WITH 1 INCREMENT BY 1 CACHE 100;
CREATE SEQUENCE payment_seq START WITH 1 INCREMENT BY 1 CACHE 100;

CREATE TABLE segment_lookup (
  segment_code  VARCHAR2(10) PRIMARY KEY,
  segment_name  VARCHAR2(60) NOT NULL
);

CREATE TABLE dim_date (
  date_key      NUMBER(8) PRIMARY KEY,
  calendar_date DATE NOT NULL,
  month_no      NUMBER(2) NOT NULL,
  quarter_no    NUMBER(1) NOT NULL,
  year_no       NUMBER(4) NOT NULL
);

CREATE TABLE dim_customer (
  customer_key  NUMBER PRIMARY KEY,
  customer_id   VARCHAR2(20) NOT NULL,
  customer_name VARCHAR2(120),
  segment_code  VARCHAR2(10) REFERENCES segment_lookup (segment_code),
  valid_from    DATE DEFAULT SYSDATE NOT NULL,
  valid_to      DATE,
  is_current    CHAR(1) DEFAULT 'Y' CHECK (is_current IN ('Y', 'N'))
);

CREATE TABLE dim_product (
  product_key   NUMBER PRIMARY KEY,
  product_code  VARCHAR2(30) NOT NULL UNIQUE,
  product_name  VARCHAR2(200),
  category      VARCHAR2(60),
  list_price    NUMBER(12, 2)
);

CREATE TABLE dim_department (
  department_key  NUMBER PRIMARY KEY,
  department_name VARCHAR2(100) NOT NULL
);

CREATE TABLE dim_employee (
  employee_key    NUMBER PRIMARY KEY,
  employee_name   VARCHAR2(120) NOT NULL,
  department_key  NUMBER REFERENCES dim_department (department_key),
  hired_on        DATE
);

CREATE TABLE fact_sales (
  sale_id       NUMBER PRIMARY KEY,
  date_key      NUMBER(8) NOT NULL REFERENCES dim_date (date_key),
  customer_key  NUMBER NOT NULL REFERENCES dim_customer (customer_key),
  product_key   NUMBER NOT NULL REFERENCES dim_product (product_key),
  employee_key  NUMBER REFERENCES dim_employee (employee_key),
  quantity      NUMBER(10) NOT NULL,
  amount        NUMBER(14, 2) NOT NULL
);

CREATE TABLE fact_payment (
  payment_id    NUMBER PRIMARY KEY,
  sale_id       NUMBER NOT NULL REFERENCES fact_sales (sale_id),
  date_key      NUMBER(8) NOT NULL REFERENCES dim_date (date_key),
  paid_amount   NUMBER(14, 2) NOT NULL,
  method        VARCHAR2(20)
);

CREATE TABLE agg_sales_month (
  year_no       NUMBER(4),
  month_no      NUMBER(2),
  product_key   NUMBER,
  total_amount  NUMBER(16, 2),
  sale_count    NUMBER,
  CONSTRAINT agg_sales_month_pk PRIMARY KEY (year_no, month_no, product_key)
);

CREATE OR REPLACE FUNCTION net_amount (p_amount IN NUMBER, p_tax_rate IN NUMBER)
  RETURN NUMBER DETERMINISTIC
IS
BEGIN
  RETURN ROUND(p_amount / (1 + NVL(p_tax_rate, 0)), 2);
END net_amount;
/

GRANT EXECUTE ON net_amount TO reporting_role;

CREATE MATERIALIZED VIEW mv_sales_by_category
  BUILD IMMEDIATE
  REFRESH COMPLETE ON DEMAND
AS
SELECT p.category, d.year_no, SUM(s.amount) AS total_amount, COUNT(*) AS sale_count
  FROM fact_sales s
  JOIN dim_product p ON p.product_key = s.product_key
  JOIN dim_date d ON d.date_key = s.date_key
 GROUP BY p.category, d.year_no;

CREATE OR REPLACE VIEW v_customer_current AS
SELECT c.customer_key, c.customer_id, c.customer_name, l.segment_name
  FROM dim_customer c
  LEFT JOIN segment_lookup l ON l.segment_code = c.segment_code
 WHERE c.is_current = 'Y';

CREATE OR REPLACE VIEW v_sales_detail AS
SELECT s.sale_id, d.calendar_date, c.customer_name, p.product_name, s.quantity,
       s.amount, net_amount(s.amount, 0.2) AS amount_net
  FROM fact_sales s
  JOIN dim_date d ON d.date_key = s.date_key
  JOIN dim_customer c ON c.customer_key = s.customer_key
  JOIN dim_product p ON p.product_key = s.product_key;

CREATE OR REPLACE VIEW v_open_payments AS
SELECT s.sale_id, s.amount, NVL(SUM(f.paid_amount), 0) AS paid,
       s.amount - NVL(SUM(f.paid_amount), 0) AS still_open
  FROM fact_sales s
  LEFT JOIN fact_payment f ON f.sale_id = s.sale_id
 GROUP BY s.sale_id, s.amount
HAVING s.amount > NVL(SUM(f.paid_amount), 0);

-- SELECT * here: the analyser must expand the column list from the dictionary.
CREATE OR REPLACE VIEW v_employee_all AS
SELECT * FROM dim_employee;

-- Dictionary comments carry business meaning: keep them with the tables.
COMMENT ON TABLE fact_sales IS 'One row per sold order line';
COMMENT ON TABLE fact_payment IS 'Payments received against sales';
COMMENT ON TABLE dim_customer IS 'Customers, type 2 history';
COMMENT ON COLUMN dim_customer.is_current IS 'Y for the row in force today';
COMMENT ON COLUMN fact_sales.amount IS 'Gross amount in the sale currency';
COMMENT ON COLUMN agg_sales_month.total_amount IS 'Sum of fact_sales.amount for the month';
