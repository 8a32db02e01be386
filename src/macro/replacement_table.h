// The replacement table: lines of "source target" identifier pairs, each
// entered as an object-like macro.
#pragma once

#include "source/logical_line.h"

struct Token;
struct Preprocessor;

// Reads the table anew for this source file. Its lexical diagnostics and
// warnings are given only with Report::ON (for the first source file); its
// fatal errors always.
void load_replacement_table(Preprocessor* p, Report report);
void process_table_line(Preprocessor* p, Token* line, Report report);
void define_table_macro(Preprocessor* p, const char* name, const char* target);
