#include "driver/source_list.h"

#include <algorithm>
#include <cstring>

#include "diag/diagnostics.h"
#include "platform/platform.h"

namespace {

const char* const kSourceExtensions[] = {".c",   ".h",   ".cpp", ".cc",  ".cxx", ".c++", ".C",   ".hpp", ".hh",
                                         ".hxx", ".h++", ".ipp", ".tpp", ".inl", ".tcc", ".ixx", ".cppm"};

void walk(const std::string& directory, std::vector<SourceItem>* items) {
  std::vector<DirectoryEntry> entries;
  FileError error = FILE_ERROR_NONE;
  if (!read_directory(directory.c_str(), &entries, &error)) {
    items->push_back(SourceItem{directory, true, error, FileIdentity{false, 0, 0}});
    return;
  }
  std::sort(entries.begin(), entries.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
    return strcmp(a.name.c_str(), b.name.c_str()) < 0;  // bytes compared unsigned
  });
  // A name given with its trailing '/' does not get a second one.
  std::string prefix = directory.back() == '/' ? directory : directory + "/";
  for (const DirectoryEntry& entry : entries) {
    if (entry.name[0] == '.') continue;
    std::string path = prefix + entry.name;
    if (entry.kind == EntryKind::DIRECTORY) {
      walk(path, items);
    } else if (entry.kind == EntryKind::REGULAR && has_source_extension(entry.name.c_str())) {
      items->push_back(SourceItem{path, false, 0, entry.identity});
    }
  }
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

std::vector<SourceItem> expand_sources(char** names) {
  std::vector<SourceItem> items;
  for (char** name = names; *name; ++name) {
    if (**name && is_directory(*name)) {
      walk(*name, &items);
    } else {
      items.push_back(SourceItem{*name, false, 0, FileIdentity{false, 0, 0}});
    }
  }
  return items;
}

void report_unreadable_directory(FILE* diag, const SourceItem& item) {
  out_printf(diag, "%s %s: %s \"%s\"; %s\n", "command line", "error", "cannot read directory", item.name.c_str(),
             error_text(item.directory_error));
}
