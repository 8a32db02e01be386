// mid_a
int c = new_a; char *n = L"mid_a"_k;
