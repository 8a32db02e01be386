_Pragma _Pragma("y")
z
