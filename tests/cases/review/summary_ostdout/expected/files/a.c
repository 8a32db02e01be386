buffer_t a;
