int foo;

foo = 1;