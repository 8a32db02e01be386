_Pragma(x) _Pragma("a" "b") _Pragma "c" _Pragma()
f(_Pragma);
_Pragma(