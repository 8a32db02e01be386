// Small text helpers shared by the unit tests.
#pragma once

#include <string>

#include "driver/options.h"

// The text with new-lines, backslashes and bytes outside printable ASCII
// escaped, for test traces.
std::string printable(const std::string& text);

// Prefixes every line of `lines` with the location of a source named
// "src.c" on line 1, as diagnostics about a pushed source read.
std::string located(const std::string& lines);

// The default options with portability warnings on.
Options wall_options();
