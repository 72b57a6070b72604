-- A substitution variable alone is no WITH query name.
with a as (select 1 x from dual), &more as (select 2 x from dual) select * from a;
