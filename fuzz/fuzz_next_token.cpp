// Tokenises arbitrary bytes in both language modes, loud and quiet; the
// checks are shared with the regression test (tests/unit/support/fuzz_checks.h).
#include <cstdio>
#include <cstdlib>

#include "support/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure = check_tokeniser_input(data, size);
  if (!failure.empty()) {
    fprintf(stderr, "next_token: %s\n", failure.c_str());
    abort();
  }
  return 0;
}
