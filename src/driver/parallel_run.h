// The sources of a run processed by several jobs at once, with the result
// of one job: each file's lines written together and in the order of the
// sources.
#pragma once

#include <map>
#include <tuple>
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
// sources' identities only for a run that writes output files.
OutputLog make_output_log(const std::vector<SourceItem>& items, const Options& options);

// What a run has seen of its sources, to find where each next one stands.
struct SourcePlaces {
  // Only a run that may refuse a source for being the table or an earlier
  // source looks up the sources' identities.
  bool identities;
  std::map<std::tuple<unsigned long long, unsigned long long, unsigned long long>, const char*> first_name;
};
SourcePlaces make_source_places(const Options& options);
// The place of `item`, the source at `index`, which must have been given
// every source before it. Keeps a pointer to the item's name.
SourcePlace place_source(SourcePlaces* places, const SourceItem& item, size_t index);

// Walks the names and processes the sources the walk finds, with the
// result of one job; the jobs begin while the walk goes on. Returns the
// exit status, as the loop of one job would; each file's run is added to
// the summary in the order of the sources. `tables` is the run's cache of
// the table, not read yet.
int process_tree_in_jobs(const Options& options, char** names, unsigned jobs, TableCache* tables,
                         RunSummary* summary);
