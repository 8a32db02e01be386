a\
b;
next ab
int a??/
b, c;
last
