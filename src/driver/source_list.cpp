#include "driver/source_list.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "diag/diagnostics.h"
#include "platform/platform.h"

namespace {

const char* const kSourceExtensions[] = {".c",   ".h",   ".cpp", ".cc",  ".cxx", ".c++", ".C",   ".hpp", ".hh",
                                         ".hxx", ".h++", ".ipp", ".tpp", ".inl", ".tcc", ".ixx", ".cppm"};

// A directory of the walk: its files and its subdirectories in walk order,
// each subdirectory standing where its own entries come.
struct WalkedDirectory {
  std::string path;
  std::vector<SourceItem> files;
  // Where each subdirectory's entries go: after files[0, before).
  struct Below {
    size_t before;
    WalkedDirectory* directory;
  };
  std::vector<Below> below;
};

// The directories still to be listed, shared by the threads of a walk.
struct Walk {
  std::mutex mutex;
  std::condition_variable more;
  std::deque<WalkedDirectory> directories;  // never moved: the tree points into it
  std::vector<WalkedDirectory*> to_list;
  size_t listing = 0;  // directories being listed
  size_t waiting = 0;  // threads waiting for directories to list
  bool out_of_memory = false;
};

// Lists one directory: its files in place, its subdirectories as new
// directories to list.
void list_directory(Walk& walk, WalkedDirectory& directory) {
  std::vector<DirectoryEntry> entries;
  FileError error = FILE_ERROR_NONE;
  if (!read_directory(directory.path.c_str(), &entries, &error)) {
    directory.files.push_back(SourceItem{directory.path, true, error, FileIdentity{false, 0, 0}});
    return;
  }
  std::sort(entries.begin(), entries.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
    return strcmp(a.name.c_str(), b.name.c_str()) < 0;  // bytes compared unsigned
  });
  // A name given with its trailing '/' does not get a second one.
  const std::string& path = directory.path;
  std::string prefix = path.back() == '/' ? path : path + "/";
  std::vector<std::string> subdirectories;
  for (const DirectoryEntry& entry : entries) {
    if (entry.name[0] == '.') continue;
    if (entry.kind == EntryKind::DIRECTORY) {
      directory.below.push_back(WalkedDirectory::Below{directory.files.size(), nullptr});
      subdirectories.push_back(prefix + entry.name);
    } else if (entry.kind == EntryKind::REGULAR && has_source_extension(entry.name.c_str())) {
      directory.files.push_back(SourceItem{prefix + entry.name, false, 0, entry.identity});
    }
  }
  std::lock_guard<std::mutex> lock(walk.mutex);
  for (size_t i = 0; i < subdirectories.size(); ++i) {
    walk.directories.push_back(WalkedDirectory{std::move(subdirectories[i]), {}, {}});
    directory.below[i].directory = &walk.directories.back();
    walk.to_list.push_back(directory.below[i].directory);
  }
}

// One thread of the walk: lists directories until none is left.
void walk_on(Walk& walk) {
  std::unique_lock<std::mutex> lock(walk.mutex);
  for (;;) {
    while (walk.to_list.empty() && walk.listing > 0 && !walk.out_of_memory) {
      ++walk.waiting;
      walk.more.wait(lock);
      --walk.waiting;
    }
    if (walk.to_list.empty() || walk.out_of_memory) break;
    WalkedDirectory* directory = walk.to_list.back();
    walk.to_list.pop_back();
    ++walk.listing;
    lock.unlock();
    bool out_of_memory = false;
    try {
      list_directory(walk, *directory);
    } catch (const std::bad_alloc&) {
      out_of_memory = true;
    }
    lock.lock();
    --walk.listing;
    if (out_of_memory) walk.out_of_memory = true;
    // A waiting thread is woken for directories to list, or to end.
    if (walk.waiting && (!walk.to_list.empty() || walk.listing == 0 || walk.out_of_memory)) walk.more.notify_all();
  }
}

// Moves the walk's files into `items`, in the order of one walk.
void add_in_walk_order(WalkedDirectory& directory, std::vector<SourceItem>* items) {
  size_t file = 0;
  for (const WalkedDirectory::Below& below : directory.below) {
    for (; file < below.before; ++file) items->push_back(std::move(directory.files[file]));
    add_in_walk_order(*below.directory, items);
  }
  for (; file < directory.files.size(); ++file) items->push_back(std::move(directory.files[file]));
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

std::vector<SourceItem> expand_sources(char** names, unsigned threads) {
  // The names as the directories of a walk: a name that is no directory is
  // the one file of a directory that is not listed.
  Walk walk;
  WalkedDirectory top;
  for (char** name = names; *name; ++name) {
    FileIdentity identity{false, 0, 0};
    if (**name && is_directory(*name, &identity)) {
      walk.directories.push_back(WalkedDirectory{*name, {}, {}});
      top.below.push_back(WalkedDirectory::Below{top.files.size(), &walk.directories.back()});
      walk.to_list.push_back(&walk.directories.back());
    } else {
      top.files.push_back(SourceItem{*name, false, 0, identity});
    }
  }
  // Listed last in, first out: one thread walks the tree in its order.
  std::reverse(walk.to_list.begin(), walk.to_list.end());
  std::vector<std::thread> helpers;
  struct Joiner {
    std::vector<std::thread>& helpers;
    ~Joiner() {
      for (std::thread& helper : helpers) helper.join();
    }
  } joiner{helpers};
  try {
    for (unsigned k = 1; k < threads && !walk.to_list.empty(); ++k) helpers.emplace_back(walk_on, std::ref(walk));
  } catch (const std::system_error&) {
    // No more threads to be had: those there are do the walk.
  }
  walk_on(walk);
  for (std::thread& helper : helpers) helper.join();
  helpers.clear();
  if (walk.out_of_memory) throw std::bad_alloc();
  std::vector<SourceItem> items;
  add_in_walk_order(top, &items);
  return items;
}

void report_unreadable_directory(FILE* diag, const SourceItem& item) {
  out_printf(diag, "%s %s: %s \"%s\"; %s\n", "command line", "error", "cannot read directory", item.name.c_str(),
             error_text(item.directory_error));
}
