-- PL/SQL takes a constant, a package constant or a static expression as a size.
DECLARE
  c CONSTANT PLS_INTEGER := 10;
  v RAW(c);
  w VARCHAR2(pkg.c_len CHAR);
  y VARCHAR2(c * 2);
  z VARCHAR2(2 * c BYTE);
  n NUMBER(7, -2);
BEGIN
  NULL;
END;
/
