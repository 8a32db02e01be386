old_alloc();
