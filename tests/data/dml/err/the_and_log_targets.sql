update the (c) set column_value = 'x';
delete from t log errors where a = 1;
