buffer_t a;
1
2
3
4
5
6
buffer_t b;
1
2
3
4
5
6
7
buffer_t c;
1
2
3
4