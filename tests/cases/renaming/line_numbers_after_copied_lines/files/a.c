int a;
/* a comment
   over lines */ int b;
int c = 1 + \
 2;


char d = 'xyz';
int old;
int e;

char f = 'uvw'; int old2 = old;
  /* last */ char g = 'rst';
