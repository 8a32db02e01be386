int old; /* a.c */
