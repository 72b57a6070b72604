-- The JSON constructor: JSON followed by braces takes the members of JSON_OBJECT, by
-- brackets the elements of JSON_ARRAY.
select json{'a' : 1} from dual;
select json_arrayagg(json{ s.* }) from s;
select json{ * } from t;
select json [ json { t.* } ] from t;
select json{ 'k' value v, key 'n' value 2 absent on null } from t;
select json[1, 'a' format json, null null on null returning clob] from dual;
select json{} j from dual;
