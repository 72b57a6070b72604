SELECT jt.*
  FROM orders o,
       JSON_TABLE(o.doc, '$'
         COLUMNS (id FOR ORDINALITY,
                  name VARCHAR2(20 CHAR) PATH '$.name' NULL ON EMPTY,
                  tags VARCHAR2(4000) FORMAT JSON WITH WRAPPER PATH '$.tags',
                  has_x NUMBER EXISTS PATH '$.x',
                  qty NUMBER DEFAULT 0 ON ERROR,
                  NESTED PATH '$.items[*]'
                    COLUMNS (sku VARCHAR2(10) PATH '$.sku',
                             NESTED PATH '$.parts[*]' COLUMNS (part NUMBER PATH '$')))) jt;

SELECT x.*
  FROM XMLTABLE('/rows/row' PASSING xmltype(:doc)
                COLUMNS a NUMBER PATH 'a', b VARCHAR2(10) PATH 'b') x;
