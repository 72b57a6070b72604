create table t (a number);
