SELECT *
FROM a
JOIN b ON a.id = b.id
LEFT OUTER JOIN c USING (id, code)
RIGHT JOIN d ON d.x = c.x
FULL OUTER JOIN e ON 1 = 1
CROSS JOIN f
NATURAL JOIN g
NATURAL LEFT JOIN h
INNER JOIN i ON i.id = a.id;

SELECT * FROM dept d CROSS APPLY (SELECT * FROM emp e WHERE e.deptno = d.deptno) x
OUTER APPLY TABLE(f(d.deptno)) y;

SELECT * FROM t x PARTITION BY (x.d) RIGHT OUTER JOIN u ON x.a = u.a;

SELECT * FROM emp e, dept d WHERE e.deptno = d.deptno (+) AND e.mgr(+) = d.mgr;

SELECT * FROM (a JOIN b ON a.x = b.x) j, ((SELECT 1 c FROM dual) q JOIN r USING (c));
