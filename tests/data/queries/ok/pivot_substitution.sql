-- A substitution variable where PIVOT and UNPIVOT take a column.
select * from t unpivot (&unit for m in (a, b));
select * from t unpivot ((&u1, u2) for &m in ((a, b) as 'x', (c, d) as 'y'));
select * from t pivot (sum(v) for &col in (1 as a, 2 as b));
select * from t pivot (sum(v) for (&c1, c_&sfx) in ((1, 2) as a));
