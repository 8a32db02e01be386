// The command line: options, banner, usage, messages and the per-file loop.
#pragma once

// Returns the exit status: 0 when every source was processed without error.
int run_driver(char** argv);
