a P("x") b
