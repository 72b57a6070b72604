-- Conditional multi-table insert with an ELSE branch and per-branch error logging.
INSERT FIRST
  WHEN amount > 10000 THEN
    INTO big_orders (id, amount) VALUES (order_id, amount)
    LOG ERRORS INTO err$_big_orders ('batch 7') REJECT LIMIT 10
  WHEN amount > 100 THEN
    INTO mid_orders VALUES (order_id, amount, SYSDATE)
  ELSE
    INTO small_orders (id) VALUES (order_id)
SELECT order_id, amount FROM staging_orders WHERE batch_id = 7;

INSERT ALL
  INTO sales_by_day (day, amount) VALUES (d1, a1)
  INTO sales_by_day (day, amount) VALUES (d2, a2)
SELECT d1, a1, d2, a2 FROM weekly_sales;
