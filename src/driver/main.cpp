#include "driver/driver.h"

int main(int, char** argv) { return run_program(argv); }
