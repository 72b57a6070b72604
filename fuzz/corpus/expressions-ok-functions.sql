-- Calls whose arguments carry inner clauses, and the analytic suffixes.
SELECT CAST(x AS NUMBER(10, 2)),
       CAST(MULTISET(SELECT y FROM u) AS num_tab),
       EXTRACT(YEAR FROM hire_date),
       TRIM(LEADING '0' FROM code),
       COUNT(DISTINCT deptno),
       JSON_VALUE(doc, '$.a' RETURNING NUMBER DEFAULT 0 ON ERROR),
       JSON_OBJECT(KEY 'k' VALUE v, 'n' : 1 ABSENT ON NULL),
       TO_NUMBER(s DEFAULT 0 ON CONVERSION ERROR),
       VALIDATE_CONVERSION(s AS DATE, 'YYYY-MM-DD'),
       LISTAGG(ename, ', ' ON OVERFLOW TRUNCATE '...' WITH COUNT) WITHIN GROUP (ORDER BY ename),
       MAX(sal) KEEP (DENSE_RANK FIRST ORDER BY hire_date DESC),
       NTH_VALUE(sal, 2) FROM FIRST IGNORE NULLS OVER (PARTITION BY deptno ORDER BY sal
         ROWS BETWEEN UNBOUNDED PRECEDING AND CURRENT ROW),
       SUM(sal) OVER (PARTITION BY deptno ORDER BY hire_date
         RANGE BETWEEN INTERVAL '30' DAY PRECEDING AND CURRENT ROW EXCLUDE CURRENT ROW),
       ROW_NUMBER() OVER w,
       COUNT(*) OVER (),
       pkg.f(p_a => 1, p_b => 'x').attr,
       obj.method(1).next(2)
  FROM emp;
