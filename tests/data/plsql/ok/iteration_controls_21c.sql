-- Oracle 21c iteration controls: iterators inside qualified expressions, a dynamic SQL
-- cursor as a control, and an iterand typed with %ROWTYPE, a dotted type name or a
-- constrained type.
DECLARE
  TYPE t IS TABLE OF PLS_INTEGER INDEX BY PLS_INTEGER;
  TYPE t_rec IS RECORD (a NUMBER);
  CURSOR c IS SELECT 1 a FROM dual;
  x t;
BEGIN
  x := t(FOR i IN 1..3 SEQUENCE => i);
  x := t(for i in 0..4 index i => i * 2);
  x := t(FOR r IN VALUES OF x SEQUENCE => r);
  x := t(FOR i IN 1..10 BY 2 WHEN i > 2, 20..21 SEQUENCE => i);
  x := t(FOR k, v IN PAIRS OF x INDEX k => v, FOR j IN 30..31 => j);
  FOR r t_rec IN (EXECUTE IMMEDIATE 'select 1 a from dual') LOOP NULL; END LOOP;
  FOR r t_rec IN (EXECUTE IMMEDIATE 'select :b a from dual' USING 1) LOOP
    NULL;
  END LOOP;
  FOR r c%ROWTYPE IN c LOOP NULL; END LOOP;
  FOR r pkg.rec_t IN c LOOP NULL; END LOOP;
  FOR i NUMBER(5) IN 1..3 LOOP NULL; END LOOP;
  FOR s MUTABLE VARCHAR2(10 CHAR) IN VALUES OF x LOOP NULL; END LOOP;
  FOR k PLS_INTEGER, v TIMESTAMP(6) WITH TIME ZONE IN PAIRS OF x LOOP NULL; END LOOP;
END;
/
