#define A B
# if defined(A) && B
#include "A.h"
#include <A.h>
#endif /* A */
%:undef A
??=undef B
