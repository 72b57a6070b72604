-- ORDER BY after the FOR UPDATE clause, in a package body's cursor.
CREATE OR REPLACE PACKAGE BODY jobs IS
  CURSOR c_due IS
    SELECT * FROM job_queue WHERE due < SYSDATE FOR UPDATE OF status ORDER BY due;
  PROCEDURE run IS
  BEGIN
    FOR r IN (SELECT * FROM job_queue FOR UPDATE SKIP LOCKED ORDER BY due DESC) LOOP
      NULL;
    END LOOP;
  END run;
END jobs;
/
