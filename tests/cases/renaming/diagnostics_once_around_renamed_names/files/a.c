int a = 'abc'; int old = 1;
int b = old + 'xyz';
int c = '\400';
int d = 'pq'; old