SELECT LEVEL, LPAD(' ', 2 * (LEVEL - 1)) || last_name AS name,
       CONNECT_BY_ROOT last_name boss, SYS_CONNECT_BY_PATH(last_name, '/') path
FROM employees
START WITH manager_id IS NULL
CONNECT BY NOCYCLE PRIOR employee_id = manager_id AND LEVEL <= 5
ORDER SIBLINGS BY last_name;

SELECT id FROM t CONNECT BY PRIOR id = parent START WITH id = 1 GROUP BY id HAVING COUNT(*) > 1;
