a _Pragma
("p") b
b
