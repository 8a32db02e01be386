// mid_a
int c = mid_a; char *n = L"mid_a"_k;
