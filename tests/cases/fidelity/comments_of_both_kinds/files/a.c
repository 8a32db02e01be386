/* block
   across
   lines */ int x; /* a */ /* b */ int y; // tail
/**/int/**/z/***/;/* ** */
//
/* // inside */ // /* inside */
int /* one
*/ w /* two

*/ ;
