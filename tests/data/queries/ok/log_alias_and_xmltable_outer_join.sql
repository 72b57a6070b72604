select * from t log;
select log.a from t log join u on u.k = log.k;
select * from t, xmltable('/a' passing t.x columns b path '@b') (+) x;
select x.b from t, xmltable('/a' passing t.x columns b path '@b') (+);
