-- A WITH query name may carry substitution pieces glued to it.
with max_&&d.wd1 as (select 1 x from dual) select * from max_&&d.wd1;
with q_&x as (select 1 x from dual), "Q"&&s as (select 2 x from dual)
select * from q_&x, "Q"&&s;
