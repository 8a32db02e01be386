a\
b\
c\
d\
e;
next
ab\
cde;
