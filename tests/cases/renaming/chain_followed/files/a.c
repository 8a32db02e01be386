A B C D E
A;B;C
