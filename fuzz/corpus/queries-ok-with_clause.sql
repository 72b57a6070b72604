WITH
  emps (id, mgr, name) AS (
    SELECT employee_id, manager_id, last_name FROM employees
  ),
  tree (id, mgr, name, lvl) AS (
    SELECT id, mgr, name, 1 FROM emps WHERE mgr IS NULL
    UNION ALL
    SELECT e.id, e.mgr, e.name, t.lvl + 1 FROM emps e JOIN tree t ON e.mgr = t.id
  )
  SEARCH BREADTH FIRST BY name DESC NULLS LAST, id SET ord
  CYCLE id SET is_cycle TO 'Y' DEFAULT 'N',
  totals AS (SELECT lvl, COUNT(*) cnt FROM tree GROUP BY lvl)
SELECT t.*, x.cnt
FROM tree t, totals x
WHERE t.lvl = x.lvl
ORDER BY ord;

WITH a AS (SELECT 1 FROM dual) &more b AS (SELECT 2 FROM dual) SELECT * FROM b;
