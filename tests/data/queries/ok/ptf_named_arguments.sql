-- A named argument after a polymorphic table function's table argument with ORDER BY
-- or PARTITION BY.
select * from ptf(t order by a, p => 1);
select * from ptf(t partition by (a, b) order by (c, d), p => 1);
select * from ptf(t order by a desc, b, p => 1, q => 'x');
