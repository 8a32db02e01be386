int old;
