SELECT * FROM po p NESTED PATH data, '$.a[*]' ERROR ON ERROR COLUMNS (a, NESTED b.c[*] COLUMNS (d));
SELECT * FROM g NESTED data COLUMNS (x), (VALUES (1, 2)) v (n, s);
