_Pragma
  
("x")
c
