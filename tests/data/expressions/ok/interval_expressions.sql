-- A parenthesised datetime difference followed by DAY ... TO SECOND or YEAR ... TO MONTH
-- is one interval expression, in SQL and in PL/SQL; DAY alone after it is an alias.
SELECT (SYSTIMESTAMP - order_date) DAY(9) TO SECOND, (d1 - d2) YEAR TO MONTH FROM orders;
select (a - b) day to second(3) + interval '1' day, (a - b) year(2) to month, (a) day from t;
begin x := (systimestamp - t0) day(2) to second(6); end;
/
