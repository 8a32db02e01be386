int main(void) { return 0; }
unsigned int u; /* int */
