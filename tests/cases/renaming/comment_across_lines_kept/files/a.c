int foo; /* about foo
*/ int z;
x =  foo	;
