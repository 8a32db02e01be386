caf\u00E9 caf\U000000e9 caf\u00\
e9 x;
next
