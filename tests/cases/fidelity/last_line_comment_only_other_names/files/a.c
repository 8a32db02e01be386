int a;
/* end */