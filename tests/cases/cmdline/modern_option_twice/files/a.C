int u8 = u8"a" + u8; // ??/
int u8;
