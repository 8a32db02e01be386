// The whole file runner on arbitrary bytes: option bits, a replacement table
// and a source (see tests/unit/support/fuzz_checks.h for the layout), in C
// and in C++ mode, with the properties that hold for every source.
#include <cstdio>
#include <cstdlib>

#include "support/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure = check_pipeline_input(data, size);
  if (!failure.empty()) {
    fprintf(stderr, "pipeline: %s\n", failure.c_str());
    abort();
  }
  return 0;
}
