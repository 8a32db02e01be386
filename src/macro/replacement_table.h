// The replacement table: lines of "source target" identifier pairs, each
// entered as an object-like macro.
#pragma once

struct Token;
struct Preprocessor;

// Reads the table anew for this source file. Its lexical diagnostics and
// warnings are given only when first_file is set; its fatal errors always.
void load_replacement_table(int first_file, Preprocessor* p);
void process_table_line(Token* line, int first_file, Preprocessor* p);
void define_table_macro(Preprocessor* p, const char* name, const char* target);
