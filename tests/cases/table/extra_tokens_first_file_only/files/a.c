a d c
