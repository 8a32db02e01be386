// The sources of a run processed by several jobs at once, with the result
// of one job: each file's lines written together and in the order of the
// sources.
#pragma once

#include <vector>

#include "driver/file_runner.h"
#include "driver/source_list.h"
#include "macro/table_snapshot.h"

struct Options;
struct RunSummary;

// The table as later files take it, released however the run ends.
struct TableCacheOwner {
  TableCache cache = make_table_cache();
  ~TableCacheOwner() { release_table_cache(&cache); }
};

// The log of a run over these sources, nothing written yet. It holds the
// sources' identities only for a run that may refuse a source or an output
// for them: not for one that writes to standard output alone.
OutputLog make_output_log(const std::vector<SourceItem>& items, const Options& options);

// Returns the exit status, as the loop of one job would; each file's run is
// added to the summary in the order of the sources.
// `tables` is the run's cache of the table, read or not yet.
int process_sources_in_jobs(const Options& options, const std::vector<SourceItem>& items, unsigned jobs,
                            TableCache* tables, RunSummary* summary);
