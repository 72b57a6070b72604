-- OFFSET names a column where no offset follows it; before an offset it starts the
-- row-limiting clause.
select 1 offset from dual;
select 1 offset, 2 from dual;
select 1 offset into :x from dual;
select offset from t;
select a from t order by a offset 5 rows;
select a from t order by a offset :n rows fetch next 2 rows only;
select 1 offset
/
