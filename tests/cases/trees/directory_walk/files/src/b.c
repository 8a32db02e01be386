old x;
