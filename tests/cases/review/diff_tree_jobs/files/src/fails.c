buffer_t b; /* never closed
