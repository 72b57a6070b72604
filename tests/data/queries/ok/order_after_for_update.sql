-- ORDER BY after the FOR UPDATE clause of a query statement.
select * from t for update of a order by b;
select * from t for update nowait order by b, c desc;
