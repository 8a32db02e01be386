a _Pragma
#define X
("p")
_Pragma(
%:x
"q")
_Pragma
  ??=y
