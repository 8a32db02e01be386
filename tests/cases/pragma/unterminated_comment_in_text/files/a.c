a _Pragma("/* x") b
c
