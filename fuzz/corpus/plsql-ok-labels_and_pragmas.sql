CREATE OR REPLACE FUNCTION split_words (p_text VARCHAR2) RETURN word_tab PIPELINED IS
  PRAGMA AUTONOMOUS_TRANSACTION;
  e_stop EXCEPTION;
  PRAGMA EXCEPTION_INIT(e_stop, -20999);
  l_pos PLS_INTEGER := 1;
BEGIN
  <<outer>>
  LOOP
    <<inner>> <<again>>
    FOR i IN l_pos .. LENGTH(p_text) LOOP
      CONTINUE outer WHEN SUBSTR(p_text, i, 1) = ' ';
      CONTINUE WHEN i = 0;
      EXIT inner WHEN i > 100;
      PIPE ROW (SUBSTR(p_text, l_pos, i - l_pos));
    END LOOP inner;
    EXIT outer;
  END LOOP outer;
  GOTO done;
  <<done>>
  RETURN;
EXCEPTION
  WHEN e_stop THEN
    PRAGMA INLINE (split_words, 'YES');
    RETURN;
END split_words;
/
