x = A; y = B;
A A B B
