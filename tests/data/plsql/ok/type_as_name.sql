-- TYPE begins a type declaration only before a name and IS or AS; elsewhere it is a name.
create function f(type varchar2) return number is begin if (type = 'NUMBER') then return 1; end if; return 0; end;
/
declare type varchar2(10); type t is table of number; begin type := 'x'; select type into type from t where type = 1; p(type); end;
/
