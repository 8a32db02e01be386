old;
