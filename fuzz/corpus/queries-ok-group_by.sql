SELECT deptno, job, SUM(sal)
FROM emp
GROUP BY ROLLUP (deptno, job), CUBE (mgr), GROUPING SETS ((deptno, job), (mgr), ());

SELECT a, b, COUNT(*) FROM t GROUP BY GROUPING SETS (ROLLUP (a, b), CUBE (a), a), b;

SELECT rollup FROM t GROUP BY rollup + 1;
