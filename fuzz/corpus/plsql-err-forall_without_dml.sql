BEGIN
  FORALL i IN 1..n x := 1;
  y := 2;
END;
/
