int a; _Pragma("p")
z
