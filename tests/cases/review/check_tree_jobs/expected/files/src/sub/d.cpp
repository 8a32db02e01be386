int x = old_a;
