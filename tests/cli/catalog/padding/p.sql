create table "tëst" ("ééé" number, "A_forty_character_column_name_for_tests_" date not null, "日本" varchar2(10), x);
create package pk as "ééé" exception; end;
/
