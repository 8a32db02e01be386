int v = old_a; _Pragma("once") int w = spin;
int last = old_a;