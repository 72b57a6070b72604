update the (select c from t where k = 1) set column_value = 'x';
insert into the (select c from t where k = 1) values ('x');
delete from the (select c from t where k = 1) x where x.column_value = 'y';
delete the (select c from t where k = 1);
insert into the (a, b) values (1, 2);
update t log set log.a = 1 where log.b = 2 log errors into err$_t reject limit 5;
delete from t log where log.a = 1;
merge into t log using s on (log.k = s.k) when matched then update set log.a = s.a log errors;
