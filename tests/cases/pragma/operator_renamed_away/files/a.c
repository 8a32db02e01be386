a _Pragma("x") b
