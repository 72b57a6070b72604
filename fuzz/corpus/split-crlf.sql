set echo on
prompt crlf lines
select 1
  from dual;
begin
  null;
end;
/
select 1 from dual
/
  /  
select q'[unterminated
