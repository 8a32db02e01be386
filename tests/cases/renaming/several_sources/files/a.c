A x
