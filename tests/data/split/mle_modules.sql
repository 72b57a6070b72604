REM A JavaScript module given as text ends at its / line, whatever ";" its code holds;
REM one loaded from a LOB or a file, an MLE environment and a domain end at ";".
create or replace mle module calc language javascript as
export function ratio(a, b) {
  let r = a / b;
  return r;
}
/
create mle module loaded language javascript using clob (select src as code from js where id = 1);
create mle module from_file language javascript using bfile (js_dir, 'calc.js');
create mle env calc_env imports ('calc' module calc);
create domain positive_num as number check (value > 0);
select 1 from dual;
