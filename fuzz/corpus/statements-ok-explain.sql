EXPLAIN PLAN SET STATEMENT_ID = 'x' FOR SELECT 1 FROM dual;
explain plan into plan_table for drop table t;
explain plan for explain plan for commit;
EXPLAIN PLAN SET STATEMENT_ID = 'a (b' FOR commit;
EXPLAIN PLAN;
