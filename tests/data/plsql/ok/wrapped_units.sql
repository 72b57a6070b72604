-- The output of Oracle's wrap utility: recognised at WRAPPED, the rest kept as tokens.
create or replace package hr_api wrapped
a000000
369
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
9
8e 9b
QRh4Yv0TnJ7jeKWgUpcOcJGe0bMwg5nnm7+fMr2ywFznKMB0pD/ylpvMWxZ8saTQhXIxgYeh
vIYlgxy0w5XfUe9Lpyb3G8hjOoLhcVbt2WyeN9zc4zOA+pE2==
/
create or replace editionable package body "HR"."HR_API" wrapped
a000000
369
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
b
2c1 1a4
/yP8x5hP2+0Y3l1sQlD3Xc9ZkKsN0gzX+rW/m1R7Pk3bV1+3YkR8Xl0TT1v4K8d3v1f8+Q/
+/Jt0G2pQ9s6bXl1cLh5r/sz1o0fh0u5PpKxWd9eR3vFhW1M7qXa9JkU2b8H5Vh==/+/
//0v9b8ps=
/Zk4Tg+mQxKlN0vD2w==
=
+
/x
/
create or replace procedure app.hire wrapped
a000000
369
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
abcd
7
5e 8e
uhY5Wm0TnJ7jeKWgUpcOcJGe0bMwg5nnm7+fMr2ywFznKMB0pD/ylpvMWxZ8saTQhXIxgYeh
/
create function headcount wrapped
a000000
369
abcd
8
4d 7a
kLpZ1Lr8M/u2f8PpQ4bPqT3YcX2LhVbt2WyeN9zc4zOA+pE2aq0=
/
create or replace noneditionable type t_point wrapped
a000000
369
abcd
d
5b 7d
Ob4+Q6LUxJ8WcL1rUkpmhGakBHQwg5nnm7+fMr2ywFznKMB0pD/ylpvMWxZ8sa==
/
create or replace type body t_point wrapped
a000000
369
abcd
e
71 9a
x3Mw/5tZyn0P+1sgaHDjy3oqBpMwg5nnm7+fMr2ywFznKMB0pD/ylpvMWxZ8saTQhXIxgYeh
/
