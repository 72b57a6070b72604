create table t (b date);
