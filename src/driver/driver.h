// The command line: options, banner, usage, messages and the per-file loop.
#pragma once

// Returns the exit status: 0 when every source was processed without error.
int run_driver(char** argv);

// The whole program: run_driver under the out-of-memory return point, which
// ends everything with "\nfatal error: not enough memory\n" and status 1.
int run_program(char** argv);
