-- Precedence, associativity and the comparison family.
SELECT -2 ** 3 ** 2, a - b - c, a || b * c / d, x MULTISET UNION ALL y
  FROM t
 WHERE NOT a = b AND c OR d;

SELECT *
  FROM emp e, dept d
 WHERE e.deptno (+) = d.deptno
   AND e.sal NOT BETWEEN 1000 AND 2000
   AND e.ename LIKE 'A!_%' ESCAPE '!'
   AND e.job NOT IN ('CLERK', 'MANAGER')
   AND e.mgr IN (SELECT empno FROM emp WHERE job = 'PRESIDENT')
   AND e.sal > ALL (SELECT sal FROM emp WHERE deptno = 10)
   AND e.comm IS NOT NULL
   AND e.doc IS JSON STRICT WITH UNIQUE KEYS
   AND e.obj IS OF TYPE (ONLY person_t, employee_t)
   AND e.tags IS A SET
   AND 'x' MEMBER OF e.tags
   AND EXISTS (SELECT 1 FROM bonus b WHERE b.ename = e.ename);
