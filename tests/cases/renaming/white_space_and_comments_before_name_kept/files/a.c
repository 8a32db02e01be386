f(/* c */ A);
int	A;
g(x,A);
A;
  /* lead */A+A
/* one
 two */  A /* tail */
A// end
