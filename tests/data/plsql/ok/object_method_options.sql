-- Object type methods: an option word with a partitioning group, and methods carried out
-- by Java or C through a call target, with AS or as a SQLJ type's EXTERNAL NAME.
CREATE OR REPLACE TYPE row_source AS OBJECT (
  n NUMBER,
  STATIC FUNCTION fetch_rows (c SYS_REFCURSOR) RETURN row_source
    PARALLEL_ENABLE (PARTITION c BY ANY),
  MEMBER FUNCTION ratio RETURN NUMBER DETERMINISTIC PARALLEL_ENABLE,
  MEMBER FUNCTION size_of RETURN NUMBER AS LANGUAGE JAVA NAME 'Rows.sizeOf() return int',
  STATIC PROCEDURE log_it (msg VARCHAR2)
    IS LANGUAGE C LIBRARY log_lib NAME "log_it" PARAMETERS (msg, msg INDICATOR),
  MEMBER FUNCTION label RETURN VARCHAR2 EXTERNAL NAME 'label() return java.lang.String',
  STATIC FUNCTION max_rows RETURN NUMBER EXTERNAL VARIABLE NAME 'MAX_ROWS'
) NOT FINAL;
/
