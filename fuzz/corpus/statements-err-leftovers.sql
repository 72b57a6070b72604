explain plan ) x /* between */ y -- trailing
;
truncate table 5 x;
