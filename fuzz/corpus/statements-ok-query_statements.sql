values (1, 2);
select * from t for update;
SELECT * FROM v WITH READ ONLY;
select * from v with check option constraint v_chk;
