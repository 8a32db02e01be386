int old; /* a.h */
