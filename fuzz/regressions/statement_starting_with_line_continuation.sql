-
s