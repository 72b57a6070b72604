CREATE OR REPLACE PACKAGE BODY compat AS
  FUNCTION version_text RETURN VARCHAR2 IS
  BEGIN
    $IF DBMS_DB_VERSION.VER_LE_12_2 $THEN
      RETURN 'old';
    $ELSE
      RETURN 'new';
    $END
  END version_text;
  $IF $$debug $THEN
  PROCEDURE trace (p VARCHAR2) IS BEGIN DBMS_OUTPUT.PUT_LINE(p); END;
  $END
END compat;
/
