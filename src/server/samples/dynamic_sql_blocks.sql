-- Tables made and filled at run time.
CREATE TABLE stage_rows (id NUMBER, payload VARCHAR2(200), loaded_on DATE);
CREATE TABLE stage_log (id NUMBER, note VARCHAR2(200));

BEGIN
  EXECUTE IMMEDIATE 'CREATE TABLE stage_extra (id NUMBER, extra VARCHAR2(50))';
END;
/

DECLARE
  v_count  NUMBER;
  v_note   VARCHAR2(200);
BEGIN
  EXECUTE IMMEDIATE 'CREATE TABLE stage_work AS SELECT id, payload FROM stage_rows WHERE 1 = 0';
  -- The work table is not there when the block is compiled, so it is read dynamically too.
  EXECUTE IMMEDIATE 'INSERT INTO stage_log (id, note) SELECT id, payload FROM stage_work';
  EXECUTE IMMEDIATE 'INSERT INTO stage_extra (id, extra) VALUES (:1, :2)' USING 1, 'first';
  EXECUTE IMMEDIATE 'UPDATE stage_log SET note = note || :suffix WHERE id = :id RETURNING note INTO :out'
    USING ' (seen)', 1 RETURNING INTO v_note;
  SELECT COUNT(*) INTO v_count FROM stage_log;
  EXECUTE IMMEDIATE 'DROP TABLE stage_work PURGE';
END;
/

DROP TABLE stage_extra PURGE;
