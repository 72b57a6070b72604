-- Set up: the application's tables live in the HR schema.
SET ECHO ON
CONNECT hr/secret@//db.example:1521/orcl
PROMPT creating objects
