a /* x
y */ b _Pragma("p")
c
