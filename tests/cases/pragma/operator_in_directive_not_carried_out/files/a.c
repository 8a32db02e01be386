#define loop_unrolled_for _Pragma("GCC unroll 8") for
#define WRAP(x) \
  _Pragma("GCC diagnostic push") \
  _Pragma("GCC diagnostic ignored \"old\"") \
  old(x) _Pragma("GCC diagnostic pop")
 %: define P DO_PRAGMA("once") old
??=define Q _Pragma(\
"x") x
old _Pragma("pack(old)") x
