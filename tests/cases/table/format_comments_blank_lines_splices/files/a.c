p = old_alloc(n);
old_free(p);
count++;
x = old_allocx + old_free_ + new_free;
