create sequence s;
