-- A few constructs Veltrane reads: analytics, PIVOT, MATCH_RECOGNIZE, MERGE
WITH monthly AS (
  SELECT region, TRUNC(sold_on, 'MM') AS month, SUM(amount) AS revenue
    FROM sales
   GROUP BY region, TRUNC(sold_on, 'MM')
)
SELECT region, month, revenue,
       RANK() OVER (PARTITION BY month ORDER BY revenue DESC) AS rank_in_month,
       LAG(revenue) OVER (PARTITION BY region ORDER BY month) AS previous_revenue
  FROM monthly;

SELECT *
  FROM (SELECT region, quarter, amount FROM sales_by_quarter)
 PIVOT (SUM(amount) FOR quarter IN ('Q1' AS q1, 'Q2' AS q2, 'Q3' AS q3, 'Q4' AS q4));

SELECT *
  FROM ticks
 MATCH_RECOGNIZE (
   PARTITION BY symbol
   ORDER BY tick_time
   MEASURES FIRST(down.tick_time) AS fall_start, LAST(up.tick_time) AS rise_end
   ONE ROW PER MATCH
   PATTERN (down+ up+)
   DEFINE down AS price < PREV(price), up AS price > PREV(price)
 );

MERGE INTO customers c
USING (SELECT id, name, city FROM customer_updates) u
   ON (c.id = u.id)
 WHEN MATCHED THEN UPDATE SET c.name = u.name, c.city = u.city
 WHEN NOT MATCHED THEN INSERT (id, name, city) VALUES (u.id, u.name, u.city);
