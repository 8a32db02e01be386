a /* x
y */ _Pragma("p")
c
