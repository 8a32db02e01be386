a c e
