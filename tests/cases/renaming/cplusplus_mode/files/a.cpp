A::B(); p->*A; o.*B; q = new A; delete B;
a and b or not c; d bitand e; A<:0:> = B<%%>;
x = 0x1p-3 + this->A;
