-- Near misses: a group after a parameter list with no option word, a call target whose
-- MODULE or LANGUAGE is missing, a second query after a query's ";", and a size with no
-- iterand type.
CREATE TYPE t AS OBJECT (MEMBER PROCEDURE p (a NUMBER) (PARTITION c BY ANY));
/
CREATE TYPE j AS OBJECT (MEMBER FUNCTION f RETURN NUMBER AS JAVA NAME 'C.f() return int');
/
CREATE FUNCTION r RETURN NUMBER AS MLE calc SIGNATURE 'r()';
/
WITH FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; END;
SELECT f FROM dual; SELECT 2 FROM dual;
/
BEGIN
  FOR i (5) IN 1..3 LOOP NULL; END LOOP;
END;
/
