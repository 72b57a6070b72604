-- An appended clause without the word TYPE after ALTER is no type evolution.
create or replace type t as object (a number) not final
alter t add attribute (b number) cascade
/
