int x;
buffer_t y;
int z;
