commit;
  ;
