int a;
int b;