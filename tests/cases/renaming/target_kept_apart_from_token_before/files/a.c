\x \y a\x ab\u12g ??/x;
M"open x
x ??/y M
