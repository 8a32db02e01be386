#include "driver/source_list.h"

#include <algorithm>
#include <cstring>

#include "diag/diagnostics.h"
#include "platform/platform.h"

namespace {

const char* const kSourceExtensions[] = {".c",   ".h",   ".cpp", ".cc",  ".cxx", ".c++", ".C",   ".hpp", ".hh",
                                         ".hxx", ".h++", ".ipp", ".tpp", ".inl", ".tcc", ".ixx", ".cppm"};

// One walk of the names, the sources given to `take` in the walk's order.
struct Walk {
  const SourceTaker& take;
  std::vector<SourceItem> found;  // not given yet

  // Gives what was found; false when `take` asked for no more.
  bool give() {
    bool go_on = found.empty() || take(found);
    found.clear();
    return go_on;
  }
};

// Walks one directory: its sources in byte order of their names, each
// subdirectory's where the subdirectory stands. A directory's files are
// given before a subdirectory is listed: a job may start on them.
bool walk_directory(Walk& walk, const std::string& path) {
  std::vector<DirectoryEntry> entries;
  FileError error = FILE_ERROR_NONE;
  if (!read_directory(path.c_str(), &entries, &error)) {
    walk.found.push_back(SourceItem{path, true, error, FileIdentity{false, 0, 0}});
    return true;
  }
  std::sort(entries.begin(), entries.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
    return strcmp(a.name.c_str(), b.name.c_str()) < 0;  // bytes compared unsigned
  });
  // A name given with its trailing '/' does not get a second one.
  std::string prefix = path.back() == '/' ? path : path + "/";
  for (size_t i = 0; i < entries.size(); ++i) {
    const DirectoryEntry& entry = entries[i];
    if (entry.name[0] == '.') continue;
    // A directory read while a file in it is replaced may list the file's
    // name twice: it is one entry.
    if (i > 0 && entry.name == entries[i - 1].name) continue;
    if (entry.kind == EntryKind::DIRECTORY) {
      if (!walk.give() || !walk_directory(walk, prefix + entry.name)) return false;
    } else if (entry.kind == EntryKind::REGULAR && has_source_extension(entry.name.c_str())) {
      walk.found.push_back(SourceItem{prefix + entry.name, false, 0, entry.identity});
    }
  }
  return true;
}

}  // namespace

bool has_source_extension(const char* file_name) {
  const char* dot = strrchr(file_name, '.');
  if (!dot) return false;
  for (const char* extension : kSourceExtensions) {
    if (strcmp(dot, extension) == 0) return true;
  }
  return false;
}

void walk_sources(char** names, const SourceTaker& take) {
  Walk walk{take, {}};
  for (char** name = names; *name; ++name) {
    FileIdentity identity{false, 0, 0};
    if (**name && is_directory(*name, &identity)) {
      if (!walk_directory(walk, *name)) return;
    } else {
      walk.found.push_back(SourceItem{*name, false, 0, identity});
    }
  }
  walk.give();
}

std::vector<SourceItem> expand_sources(char** names) {
  std::vector<SourceItem> items;
  walk_sources(names, [&items](std::vector<SourceItem>& found) {
    for (SourceItem& item : found) items.push_back(std::move(item));
    return true;
  });
  return items;
}

void report_unreadable_directory(FILE* diag, const SourceItem& item) {
  out_printf(diag, "%s %s: %s \"%s\"; %s\n", "command line", "error", "cannot read directory", item.name.c_str(),
             error_text(item.directory_error));
}
