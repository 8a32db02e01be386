int old;
x = 0x1p+old;
