/* A name */ // A name
s = "A name"; w = L"A"; c = 'A'; d = L'A';
n = 0xA + 1A + 1e+A + .5A + 0x1p-A;
A1 = _A + A_ + a + s.A + p->name;
