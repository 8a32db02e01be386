int ring_init; /* buffer_init */ char *s = "buffer_t";
