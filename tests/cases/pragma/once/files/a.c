_Pragma("once")
x
int a; _Pragma( "once" ) int b;
