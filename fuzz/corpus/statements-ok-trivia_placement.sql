/* leading comment */ -- and a line comment
  commit /* inside */ work -- trailing
;
