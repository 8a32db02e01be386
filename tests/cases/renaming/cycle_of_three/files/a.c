A B C
