UPDATE emp e
   SET sal = sal * 1.1,
       (bonus, grade) = (SELECT b.amount, b.grade FROM bonus b WHERE b.emp_id = e.id)
 WHERE e.dept_id IN (SELECT id FROM dept WHERE region = 'EU')
RETURNING sal BULK COLLECT INTO l_salaries;

UPDATE (SELECT a, b FROM t WHERE c = 1) v SET a = b, VALUE(v) = obj_t(1);

DELETE FROM orders PARTITION (q1) o
 WHERE o.status = 'CANCELLED'
RETURNING o.id, o.amount BULK COLLECT INTO l_ids, l_amounts;

DELETE t WHERE CURRENT OF c_emp;

DELETE FROM TABLE(SELECT c.items FROM carts c WHERE c.id = 1) x WHERE x.qty = 0;

UPDATE t SET a = 1 FROM s JOIN u ON s.id = u.id WHERE t.id = s.id;

DELETE FROM t FROM t JOIN s USING (id) WHERE s.flag = 'Y';

UPDATE t SET a = 1 RETURNING OLD a, NEW a INTO x, y;
