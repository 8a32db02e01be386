a c
