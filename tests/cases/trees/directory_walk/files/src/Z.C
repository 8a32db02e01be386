int old; /* Z.C */
