TRUNCATE TABLE s.t DROP STORAGE;
truncate cluster c;
truncate /* no keyword */ t@remote_db reuse storage;
