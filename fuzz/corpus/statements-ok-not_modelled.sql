ALTER INDEX i REBUILD;
SET ROLE ALL;
lock;
comment "ON" x;
analyze table t compute statistics;
"INSERT" into t values (1);
values;
values 1;
