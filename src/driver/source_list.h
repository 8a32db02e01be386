// The sources of a run: the names of the command line, each directory among
// them replaced by the sources of its tree.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

// One step of the run: a source to process, or a directory of a tree that
// could not be read (`directory_error` is then its file error code).
struct SourceItem {
  std::string name;
  bool unreadable_directory;
  int directory_error;
  // The file's identity as the walk, or the look at a name of the command
  // line, found it; none for a name that names nothing.
  FileIdentity identity;
};

// Every name in command-line order. A directory is walked recursively, its
// entries in byte order of their names; its regular files with a source
// extension are named by the directory as given, '/', and the path below.
// Entries whose name begins with '.' and symbolic links met in the walk are
// skipped.
std::vector<SourceItem> expand_sources(char** names);

// Receives the sources of a walk, some at a time, in their order; it may
// move them out. Returns false to end the walk.
using SourceTaker = std::function<bool(std::vector<SourceItem>& found)>;
// The walk of expand_sources, with the sources given to `take` as they are
// found: a directory's files before its next subdirectory is listed.
void walk_sources(char** names, const SourceTaker& take);

// True when a file name ends in one of the extensions of C and C++ sources.
bool has_source_extension(const char* file_name);

// "cannot read directory" with the reason, as a command-line error.
void report_unreadable_directory(FILE* diag, const SourceItem& item);
