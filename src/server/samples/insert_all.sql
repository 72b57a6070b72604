-- Route each order to the tables that need it.
CREATE TABLE customers (
  customer_id   NUMBER PRIMARY KEY,
  customer_name VARCHAR2(100),
  country       VARCHAR2(2)
);

CREATE TABLE orders (
  order_id      NUMBER PRIMARY KEY,
  customer_id   NUMBER REFERENCES customers (customer_id),
  order_total   NUMBER(12, 2),
  order_date    DATE
);

CREATE TABLE large_orders (order_id NUMBER, customer_name VARCHAR2(100), order_total NUMBER);
CREATE TABLE export_orders (order_id NUMBER, country VARCHAR2(2), order_total NUMBER);
CREATE TABLE order_audit (order_id NUMBER, noted_on DATE);

INSERT ALL
  WHEN order_total > 10000 THEN
    INTO large_orders (order_id, customer_name, order_total)
    VALUES (order_id, customer_name, order_total)
  WHEN country <> 'DE' THEN
    INTO export_orders (order_id, country, order_total)
    VALUES (order_id, country, order_total)
  WHEN 1 = 1 THEN
    INTO order_audit (order_id, noted_on) VALUES (order_id, SYSDATE)
SELECT o.order_id, o.order_total, c.customer_name, c.country
  FROM orders o
  JOIN customers c ON c.customer_id = o.customer_id
 WHERE o.order_date >= DATE '2024-01-01';
