-- Subprograms carried out by JavaScript: a function of a module with its signature, a
-- procedure with an environment, and inline code in a package, quoted or between braces
-- (where a quote of the code opens nothing).
CREATE OR REPLACE FUNCTION ratio (a NUMBER, b NUMBER) RETURN NUMBER
  AS MLE MODULE calc SIGNATURE 'ratio(number, number)';
/
CREATE PROCEDURE log_it (msg VARCHAR2)
  AS MLE MODULE logger ENV calc_env SIGNATURE 'logIt(string)';
/
CREATE OR REPLACE PACKAGE js_api AS
  FUNCTION one RETURN NUMBER AS MLE LANGUAGE JAVASCRIPT PURE q'~return 1;~';
  PROCEDURE greet (who VARCHAR2) AS MLE LANGUAGE JAVASCRIPT q'[console.log('hi ' + who);]';
  FUNCTION two RETURN NUMBER AS MLE LANGUAGE JAVASCRIPT {{ if (1) { return 2; } }};
  FUNCTION three RETURN NUMBER AS MLE LANGUAGE JAVASCRIPT {{ // it's 3
    return 3; }};
END js_api;
/
