-- statements kept as plain tokens directly in their statement node
commit;
Rollback to savepoint before_load;
savepoint before_load;
grant select, insert on app.orders to reporting with grant option;
revoke select on app.orders from reporting;
drop table app.orders cascade constraints purge;
set transaction read only name 'nightly';
