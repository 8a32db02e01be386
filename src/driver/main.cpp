#include <cstdio>
#include <new>

#include "diag/output.h"
#include "driver/driver.h"
#include "memory/heap.h"

static int out_of_memory_exit() {
  fflush(stdout);
  fputs("\nfatal error: not enough memory\n", stderr);
  return 1;
}

int main(int, char** argv) {
  try {
    int status = run_driver(argv);
    if (fflush(stdout) != 0) output_error_exit(stdout);
    return status;
  } catch (const OutOfMemory&) {
    return out_of_memory_exit();
  } catch (const std::bad_alloc&) {
    return out_of_memory_exit();
  }
}
