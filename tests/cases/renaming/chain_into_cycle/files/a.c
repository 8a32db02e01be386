D A B
