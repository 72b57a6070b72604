-- A query with functions written out, ended by ";" and then by its "/" line.
WITH
  FUNCTION twice (n NUMBER) RETURN NUMBER IS
  BEGIN
    RETURN n * 2;
  END;
SELECT twice(21) AS answer FROM dual;
/
