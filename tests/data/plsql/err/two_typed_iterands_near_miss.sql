-- Two iterands with one comma too many after the first one's type.
BEGIN
  FOR k VARCHAR2(10),, v NUMBER IN PAIRS OF aa LOOP NULL; END LOOP;
END;
/
