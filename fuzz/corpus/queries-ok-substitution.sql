SELECT &cols, x FROM &owner..orders WHERE &cond AND x = 1;

SELECT a &b c FROM t;

SELECT * FROM emp_&sfx e, (&t), &schema.dept d WHERE e.id = 1 &more AND d.id = 2;

SELECT 1 FROM dual WHERE &extra x = 1 GROUP BY a &x b;
