-- Two iterands each with its own type: a constrained type, a %TYPE and a dotted type on
-- the first iterand before the comma.
BEGIN
  for k varchar2(10), v number in pairs of aa loop null; end loop;
  FOR k NUMBER(5), v NUMBER IN PAIRS OF aa LOOP NULL; END LOOP;
  FOR k t.c%TYPE, v t.d%TYPE IN PAIRS OF aa LOOP NULL; END LOOP;
  FOR k pkg.key_t, v VARCHAR2(20 CHAR) IN PAIRS OF aa LOOP NULL; END LOOP;
END;
/
