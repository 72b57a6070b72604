-- OFFSET names a column where no offset follows it; before an offset it starts the
-- row-limiting clause.
select 1 offset from dual;
select 1 offset, offset from t;
select 1 offset into :x from dual;
select a from t order by a offset :n rows fetch next 2 rows only;
select 1 offset
/
