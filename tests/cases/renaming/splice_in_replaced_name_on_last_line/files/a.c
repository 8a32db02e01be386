y a\
b