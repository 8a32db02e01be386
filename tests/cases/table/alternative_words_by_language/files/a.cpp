a and b
