select * from t log errors;
select * from t, xmltable('/a' passing t.x columns b path '@b') (-) x;
