SELECT deptno,
       ename,
       sal,
       RANK() OVER (PARTITION BY deptno ORDER BY sal DESC) rnk,
       SUM(sal) OVER (PARTITION BY deptno ORDER BY hiredate
                      ROWS BETWEEN UNBOUNDED PRECEDING AND CURRENT ROW) running,
       AVG(sal) OVER (ORDER BY hiredate RANGE BETWEEN INTERVAL '30' DAY PRECEDING AND CURRENT ROW) avg30,
       NTH_VALUE(sal, 2) FROM FIRST IGNORE NULLS OVER (PARTITION BY deptno ORDER BY sal) second_sal,
       MAX(sal) KEEP (DENSE_RANK FIRST ORDER BY hiredate) first_sal,
       LISTAGG(ename, ',' ON OVERFLOW TRUNCATE '...' WITH COUNT) WITHIN GROUP (ORDER BY ename) names,
       CASE WHEN sal > 3000 THEN 'high' WHEN sal > 1000 THEN 'mid' ELSE 'low' END band,
       CAST(sal AS NUMBER(10, 2)) sal2,
       EXTRACT(YEAR FROM hiredate) yr,
       TRIM(LEADING '0' FROM empno) trimmed
FROM emp
WINDOW w AS (PARTITION BY deptno)
ORDER BY deptno, rnk;
