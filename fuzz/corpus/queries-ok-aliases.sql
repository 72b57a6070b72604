SELECT 1 AS FROM, 2 y, 3 "Z", 4 AS "w", 5 join, 6 pivot FROM t e, u "U", v range;

SELECT * FROM t nulls, u groups;
