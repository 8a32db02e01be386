_Pragma("  pack ( 1 )  ")
