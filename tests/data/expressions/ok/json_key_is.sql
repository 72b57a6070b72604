-- KEY 'k' IS v: the IS form of a JSON key-value pair, beside VALUE and ":".
select json_object(key 'id' is e.id, key 'name' is upper(e.name)) from emp e;
select json_objectagg(key 'k' is v) from t;
select json_object(key 'id' value e.id, 'name' : e.name) from emp e;
-- IS followed by an IS test stays that test.
select json_object(key 'a' is null, key 'b' is not null) from dual;
