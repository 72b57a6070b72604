select json_transform(j, set '$.a' = 1, insert '$.b' = 'x' format json, append '$.c' = 5 create on missing, prepend '$.d' = 0 error on mismatch) from t;
select json_transform(j, remove '$.y' ignore on missing, replace '$.z' = 2 null on null, rename '$.a' = 'b', keep '$.k', '$.l', sort '$.a' desc) from t;
select json_transform(j, copy '$.a' = '[1,2]' format json, merge '$.m' = '{"x":1}' format json replace on existing, intersect '$.s' = '[1]' format json, union '$.s' = '[2]' format json, minus '$.s' = '[3]' format json) from t;
select json_transform(j, set '$.a' = :v ignore on existing, set '$.b' = null error on null, set '$.c' = '' null on empty, nested path '$.items[*]' (set '@.n' = 1, remove '@.m')) from t;
select json_transform(j, case when '$.a' then (set '$.b' = 1, remove '$.e') when '$.f' then (keep '$.g') else (remove '$.c') end, set '$.d?(@ == $v)' = 2 returning clob passing 5 as "v") from t;
select json_transform(j, set '$.a' = 1 returning varchar2(4000)) from t;
update t set j = json_transform(j, set '$.n' = 'x', remove '$.y', append '$.arr' = 5);
