_Pragma("a") _Pragma("b") x _Pragma("c")
