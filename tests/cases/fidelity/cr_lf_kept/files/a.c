int a;

int b;int a;
#define M a \
  a
x = a // a \
 a
q _Pragma("p") a _Pragma("r") a
_Pragma("s") a
z = a\
b + _Pragma(
"t") a;
c = a\
b;
a\
b