select prediction(m using);
select json_transform(j, set);
