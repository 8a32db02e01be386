#define M(a) a
int old = M(;
