-- MODEL, PIVOT / UNPIVOT and MATCH_RECOGNIZE live in queries but belong with the DML rules.
SELECT country, product, year, sales
  FROM sales_view
 MODEL RETURN UPDATED ROWS
   REFERENCE conv ON (SELECT country, exchange_rate FROM rates)
     DIMENSION BY (country) MEASURES (exchange_rate) IGNORE NAV
   MAIN sales_model
   PARTITION BY (country)
   DIMENSION BY (product, year)
   MEASURES (sales AS sales, 0 AS dollar_sales)
   UNIQUE DIMENSION
   RULES UPSERT ALL AUTOMATIC ORDER ITERATE (4) UNTIL (sales['Bounce', 2002] > 1000)
   (
     sales['Bounce', 2002] = sales['Bounce', 2001] + sales['Bounce', 2000],
     UPDATE sales[product = 'Y', FOR year IN (2001, 2002)] ORDER BY year DESC = 0,
     dollar_sales[ANY, 2002] = sales[CV(product), CV(year)] * conv.exchange_rate[CV(country)]
   )
 ORDER BY country, product, year;

SELECT * FROM t MODEL DIMENSION BY (d) MEASURES (s) (s[1] = 10, s[2] = 20,);

SELECT *
  FROM (SELECT deptno, job, sal FROM emp)
 PIVOT XML (SUM(sal) AS total FOR (deptno, job) IN (ANY, ANY)) p;

SELECT *
  FROM emp
 PIVOT (SUM(sal) AS total, COUNT(*) cnt FOR deptno IN (10 AS d10, 20 d20, 30));

SELECT * FROM t PIVOT XML (SUM(sal) FOR deptno IN (SELECT deptno FROM dept));

SELECT *
  FROM quarterly
 UNPIVOT INCLUDE NULLS (amount FOR quarter IN (q1 AS 'Q1', q2 AS 'Q2', q3 AS 'Q3'));

SELECT * FROM t UNPIVOT ((a, b) FOR k IN ((a1, b1) AS 1, (a2, b2) AS 2));

SELECT *
  FROM ticker
 MATCH_RECOGNIZE (
   PARTITION BY symbol
   ORDER BY tstamp
   MEASURES STRT.tstamp AS start_tstamp,
            LAST(DOWN.tstamp) AS bottom_tstamp,
            FINAL LAST(UP.tstamp) end_tstamp
   ONE ROW PER MATCH
   AFTER MATCH SKIP PAST LAST ROW
   PATTERN (STRT DOWN+ (UP | FLAT){1,3} UP*)
   SUBSET updown = (UP, DOWN), flatish = (FLAT)
   DEFINE
     DOWN AS DOWN.price < PREV(DOWN.price),
     UP AS UP.price > PREV(UP.price),
     FLAT AS FLAT.price = PREV(FLAT.price)
 ) mr
 ORDER BY mr.symbol;
