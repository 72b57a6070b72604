-- Word-led primaries, typed literals and datatypes.
SELECT CASE WHEN sal > 1000 THEN 'high' WHEN sal > 500 THEN 'mid' ELSE 'low' END,
       CASE deptno WHEN 10 THEN 'A' WHEN 20 THEN 'B' END,
       DATE '2024-01-31', TIMESTAMP '2024-01-31 10:00:00',
       INTERVAL '5' DAY, INTERVAL '1-6' YEAR TO MONTH,
       INTERVAL '4 5:12:10.222' DAY TO SECOND(3), INTERVAL '10' minute(3),
       systimestamp AT TIME ZONE 'UTC', ts AT LOCAL, ename COLLATE binary_ci,
       CAST(ts AS TIMESTAMP(6) WITH LOCAL TIME ZONE),
       CAST(d AS INTERVAL DAY(3) TO SECOND(6)),
       CAST(s AS NATIONAL CHARACTER VARYING(10)),
       CAST(n AS DOUBLE PRECISION),
       ROWNUM, LEVEL, SYSDATE, USER, UID, ROWID, SET(tags),
       CURSOR(SELECT 1 FROM dual),
       NEW person_t('x', 1),
       :bind, :new.col, (1), (1, 2), (x AS NUMBER(5)),
       ((SELECT 1 FROM dual) + 1)
  FROM emp
 WHERE ((SELECT COUNT(*) FROM dept) > 0)
 START WITH mgr IS NULL
CONNECT BY PRIOR empno = mgr;
