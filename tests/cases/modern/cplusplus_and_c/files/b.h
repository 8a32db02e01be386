// A rename of an API in a C++23 source: names inside raw strings stay.
const char* q = R"sql(SELECT name FROM t WHERE fmt = "x" -- ??/
  AND name <> ')' )" )sql";
const char* r = LR"(name\)" u8R"--(fmt)--" R"(x)"_km;
long operator""_km(unsigned long long name), operator"" _km(long double);
auto d = 42_km + 1.5e3_km + 0x1_km + 1_n + "x"_km + u8"y"_km + 'c'_km + u8"q"fmt;
int sep = 0x3'fffd + 1'000'000 + 0b1010'1010'sep;  // the separator, then the name
int R = u8'a' + R, u8 = U'\x{1F600}' + u8 + u"\N{LATIN SMALL LETTER A}"[0];
auto c = (name <=> fmt) < 0 ? ::name : A<::name>::fmt;  // ??/
int keep = name;
