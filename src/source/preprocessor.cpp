#include "source/preprocessor.h"

#include <cstring>

#include "memory/pool.h"
#include "source/source_stack.h"

void init_run_settings_like(RunSettings* settings, const RunSettings* like, Pool* store) {
  memset(settings, 0, sizeof *settings);
  settings->reptable_name = like->reptable_name;
  settings->line_part_tokens = like->line_part_tokens;
  settings->in_place_renaming = like->in_place_renaming;
  settings->diag = like->diag;
  settings->switches = like->switches;
  settings->limits = like->limits;
  settings->cplusplus = like->cplusplus;
  settings->modern = like->modern;
  settings->io_error = FILE_ERROR_NONE;
  settings->store = store;
}

static IdentEntry* intern_constant(Preprocessor* p, const char* spelling) {
  return intern_spelling(p, spelling, spelling + strlen(spelling));
}

void count_lines_before_report(void* data) {
  Preprocessor* p = static_cast<Preprocessor*>(data);
  if (p->source_top) catch_up_line_number(p->source_top);
}

Preprocessor* create_preprocessor(RunSettings* settings) {
  Preprocessor* p = static_cast<Preprocessor*>(pool_alloc(settings->store, sizeof(Preprocessor)));
  memset(p, 0, sizeof *p);
  p->store = settings->store;
  p->settings = settings;
  p->report = make_reporter(settings->diag, settings->switches);
  p->report.before_message = count_lines_before_report;
  p->report.hook_data = p;
  p->lex = LexState{settings->cplusplus, false, &p->report, &settings->limits, p->store, settings->modern};
  init_spelling_table(&p->spellings, p->store, kInitialSpellingBucketBits);
  intern_predefined_names(p);
  return p;
}

void intern_predefined_names(Preprocessor* p) {
  p->id_va_args = intern_constant(p, "__VA_ARGS__");
  p->id_stdc_iec_559 = intern_constant(p, "__STDC_IEC_559__");
  p->id_stdc_iec_559_complex = intern_constant(p, "__STDC_IEC_559_COMPLEX__");
  p->id_stdc_iso_10646 = intern_constant(p, "__STDC_ISO_10646__");
  p->id_defined = intern_constant(p, "defined");
  p->id_pragma = intern_constant(p, "_Pragma");
}
