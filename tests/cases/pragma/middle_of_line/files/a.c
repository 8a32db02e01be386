a _Pragma("pack(1)") b
c
