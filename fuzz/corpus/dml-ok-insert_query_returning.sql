INSERT INTO emp_archive (id, name, hired)
  SELECT e.id, e.name, e.hired FROM emp e WHERE e.left_on IS NOT NULL;

INSERT INTO hr.emp@remote_db (id, name) VALUES (emp_seq.NEXTVAL, 'Smith')
RETURNING id, name INTO :new_id, :new_name;

INSERT INTO t (a.b, "C") VALUES (1, 2) LOG ERRORS INTO err$_t ('load 1') REJECT LIMIT UNLIMITED;

INSERT INTO &&schema..orders VALUES rec;
