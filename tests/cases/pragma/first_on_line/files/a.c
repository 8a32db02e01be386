_Pragma("x") y;
z
