a\
bc;
next
