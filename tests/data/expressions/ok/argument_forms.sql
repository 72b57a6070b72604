-- An argument that begins with DEFAULT (XMLNAMESPACES' default namespace), and JSON keys
-- of the IS form that are columns or binds rather than string literals.
select x.a from xmltable(xmlnamespaces(default 'urn:x', 'urn:y' as "y"), '/r' passing d columns a varchar2(9) path 'a') x;
select json_object(key e.k is e.v, key :k is 1, key k is upper(v), key e.k is null) from emp e;
