_Pragma
("x") __VA_ARGS__
__VA_ARGS__
