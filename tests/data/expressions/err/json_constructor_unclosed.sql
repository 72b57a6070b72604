-- A JSON constructor whose brackets do not match.
select json{'a' : 1 from dual;
select json['a' 1} from dual;
