-- SQL*Plus substitution variables in lists and conditions.
SELECT &cols, a &more b, emp_&sfx.col
  FROM &schema.emp
 WHERE &extra x = 1
   AND y = 2 &more_cond
   AND z IN (&list)
   AND w IN (&prefix 5)
 ORDER BY 1 &dir, 2;
