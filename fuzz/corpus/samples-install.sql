REM Sample install script for a small order-tracking schema.
SET ECHO OFF
SET DEFINE ON
WHENEVER SQLERROR EXIT SQL.SQLCODE ROLLBACK
DEFINE app_owner = &1
PROMPT Installing into &&app_owner

-- Tables
CREATE TABLE &&app_owner..customers (
  customer_id   NUMBER(10)     NOT NULL,
  name          VARCHAR2(100)  NOT NULL,
  email         VARCHAR2(320),
  created_at    DATE DEFAULT SYSDATE,
  CONSTRAINT customers_pk PRIMARY KEY (customer_id)
);

CREATE TABLE orders (
  order_id      NUMBER(10) PRIMARY KEY,
  customer_id   NUMBER(10) NOT NULL REFERENCES customers (customer_id),
  status        VARCHAR2(20) DEFAULT 'NEW' CHECK (status IN ('NEW', 'PAID', 'SHIPPED')),
  total         NUMBER(12, 2)
);

CREATE SEQUENCE orders_seq START WITH 1 INCREMENT BY 1;
CREATE INDEX orders_customer_ix ON orders (customer_id);
COMMENT ON TABLE orders IS 'One row per order';

CREATE OR REPLACE VIEW open_orders AS
  SELECT o.order_id, c.name, o.total
    FROM orders o
    JOIN customers c ON c.customer_id = o.customer_id
   WHERE o.status <> 'SHIPPED';

/* The package keeps the business rules in one place. */
CREATE OR REPLACE PACKAGE order_api AS
  c_max_total CONSTANT NUMBER := 100000;
  e_too_large EXCEPTION;
  FUNCTION place_order(p_customer_id IN NUMBER, p_total IN NUMBER) RETURN NUMBER;
  PROCEDURE ship(p_order_id IN orders.order_id%TYPE);
END order_api;
/

CREATE OR REPLACE PACKAGE BODY order_api AS
  FUNCTION place_order(p_customer_id IN NUMBER, p_total IN NUMBER) RETURN NUMBER IS
    l_order_id orders.order_id%TYPE;
  BEGIN
    IF p_total > c_max_total THEN
      RAISE e_too_large;
    END IF;
    INSERT INTO orders (order_id, customer_id, total)
    VALUES (orders_seq.NEXTVAL, p_customer_id, p_total)
    RETURNING order_id INTO l_order_id;
    RETURN l_order_id;
  END place_order;

  PROCEDURE ship(p_order_id IN orders.order_id%TYPE) IS
  BEGIN
    UPDATE orders SET status = 'SHIPPED' WHERE order_id = p_order_id;
    IF SQL%ROWCOUNT = 0 THEN
      raise_application_error(-20001, 'no such order: ' || p_order_id);
    END IF;
  END ship;
END order_api;
/

CREATE OR REPLACE TRIGGER orders_bi
  BEFORE INSERT ON orders
  FOR EACH ROW
BEGIN
  IF :new.status IS NULL THEN
    :new.status := 'NEW';
  END IF;
END;
/

DECLARE
  l_id NUMBER;
BEGIN
  INSERT INTO customers (customer_id, name) VALUES (1, 'Ada');
  l_id := order_api.place_order(1, 250);
  $IF $$debug $THEN
    dbms_output.put_line('placed order ' || l_id);
  $END
  COMMIT;
END;
/

SELECT c.name, COUNT(*) AS orders, SUM(o.total) AS total
  FROM customers c
  LEFT JOIN orders o ON o.customer_id = c.customer_id
 GROUP BY c.name
 ORDER BY total DESC NULLS LAST
 FETCH FIRST 10 ROWS ONLY;

@@grants.sql
EXIT
