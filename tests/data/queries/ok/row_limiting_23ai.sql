-- Oracle 23ai row limiting: exact and approximate fetches, and partitioned fetches.
select * from t order by x fetch exact first 3 rows only;
select * from t order by vector_distance(v, :q) fetch approx first 3 rows only with target accuracy 90 percent;
select * from t order by x fetch approximate next 3 rows only with target accuracy 80;
select * from t order by x fetch first 2 partitions by g, 3 partitions by h, 1 row only;
