a::b .* ->* x.*y p->*q ::c <::> and or not new delete a and_eq b 0x1p-3
