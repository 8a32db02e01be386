_Pragma
x __VA_ARGS__
_Pragma
__VA_ARGS__ _Pragma
("x")
z
