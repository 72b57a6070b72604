-- VECTOR columns and variables with their dimensions, element format and storage.
create table docs (embedding vector(768, int8), sparse_v vector(*, float32, sparse), v vector);
declare v vector(3, float64); w vector(*, *, dense); begin null; end;
/
