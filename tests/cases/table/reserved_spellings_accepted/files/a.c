#if defined(X)
_Pragma("x")
f(__VA_ARGS__);
