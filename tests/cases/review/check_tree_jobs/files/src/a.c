void buffer_init(buffer_t *b);
