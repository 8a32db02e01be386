_Pragma("_Pragma")
z
