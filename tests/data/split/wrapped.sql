REM A wrapped unit ends at a line that holds "/" alone, whatever its base64 lines hold.
create or replace package body hr_api wrapped
a000000
369
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
//
/=
  /x
/
show errors
create or replace procedure p wrapped
a000000
369
abcd
7
5e 8e
uhY5Wm0TnJ7jeKWgUpcOcJGe0bMwg5nnm7+fMr2ywFznKMB0pD/ylpvMWxZ8saTQhXIxgYeh
  /  
select 1 from dual;
