CREATE OR PACKAGE p IS END;
/
CREATE PROCEDURE p BEGIN NULL; END;
/
BEGIN
  x := 1; p(1); commit; commit := 1; set(1); null; 42; fetch := 1; lock(1); lock := 2;
  null x;
  null
  <<a>> <<b>> NULL; <<a NULL; << >> NULL;
  ELSE
  GOTO 42;
  PRAGMA;
  EXECUTE x;
  RAISE &sub;
  CLOSE c x;
END;
/
DECLARE x NUMBER;
/
CREATE TYPE BODY tb AS
  MEMBER FUNCTION f RETURN NUMBER IS BEGIN RETURN 1; END;
  ) 
  FINAL f2 RETURN NUMBER IS BEGIN RETURN 2; END;
  MEMBER FUNCTION RETURN NUMBER IS BEGIN RETURN 3; END;
END tb;
extra tokens here;
/
