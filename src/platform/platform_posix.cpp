#include "platform/platform.h"

#include <atomic>
#include <mutex>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

FileError file_error_from_errno(int native_errno) {
  switch (native_errno) {
    case 0: return FILE_ERROR_NONE;
    case ENOENT:
    case ENOTDIR: return FILE_ERROR_NOT_FOUND;
    case ENOMEM: return FILE_ERROR_NO_MEMORY;
    case EACCES:
    case EPERM:
    case EISDIR: return FILE_ERROR_PERMISSION;  // a directory cannot be opened as a file
    case EEXIST: return FILE_ERROR_EXISTS;
    case EINVAL:
    case ENAMETOOLONG: return FILE_ERROR_INVALID_NAME;
    case ENOSPC: return FILE_ERROR_DISK_FULL;
    default: return FILE_ERROR_OTHER;
  }
}

// Reads until end of file or until `capacity` bytes are in; large files take
// several reads. Returns the count, or -1 on a read error.
static long long read_fully(int fd, char* buffer, size_t capacity) {
  size_t total = 0;
  while (total < capacity) {
    size_t request = capacity - total;
    if (request > (1u << 30)) request = 1u << 30;
    ssize_t got = read(fd, buffer + total, request);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    total += static_cast<size_t>(got);
  }
  return static_cast<long long>(total);
}

// Streams of unknown length (pipes, devices) are gathered on the heap first.
// A NUL ends the text, so reading stops at the chunk that holds one: the NUL
// is kept for the error it gives, and a device that never ends (/dev/zero)
// does not fill the memory.
static bool read_unsized(int fd, std::string& gathered) {
  char chunk[65536];
  for (;;) {
    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    gathered.append(chunk, static_cast<size_t>(got));
    if (memchr(chunk, '\0', static_cast<size_t>(got))) return true;
  }
}

// Removes "." components and folds "dir/.." pairs, as a full-path service does.
static std::string normalize_components(const std::string& path) {
  std::string result;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string component = path.substr(start, end - start);
    if (component == "..") {
      size_t last = result.rfind('/');
      result.erase(last == std::string::npos ? 0 : last);
    } else if (!component.empty() && component != ".") {
      result += '/';
      result += component;
    }
    start = end + 1;
  }
  if (!path.empty() && path.back() == '/' && !result.empty()) result += '/';
  return result.empty() ? "/" : result;
}

namespace {

// A mapped file that another process truncates while it is read raises
// SIGBUS on every page past its new end. Such a page is replaced by zeros,
// which the reader takes for a NUL: the text ends there with the
// null-character error, and the process lives on. A fault anywhere else
// takes its course as before.
struct MappedRange {
  std::atomic<char*> begin;
  std::atomic<char*> end;
};
constexpr int kMappedRanges = 16;
MappedRange mapped_ranges[kMappedRanges];
struct sigaction bus_action_before;
size_t page_size;

void on_bus_error(int, siginfo_t* info, void*) {
  char* address = static_cast<char*>(info->si_addr);
  for (MappedRange& range : mapped_ranges) {
    char* begin = range.begin.load();
    if (!begin || address < begin || address >= range.end.load()) continue;
    uintptr_t page = reinterpret_cast<uintptr_t>(address) & ~(static_cast<uintptr_t>(page_size) - 1);
    void* zeros = mmap(reinterpret_cast<void*>(page), page_size, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (zeros != MAP_FAILED) return;  // the read is tried again and finds zeros
    break;
  }
  // Not a page of ours: back to what was there, and the fault comes again.
  sigaction(SIGBUS, &bus_action_before, nullptr);
}

void watch_mapped_range(char* begin, size_t span) {
  // Files of several jobs are mapped at once: the handler goes in once, and
  // a slot is taken by one thread only.
  static std::once_flag installed;
  std::call_once(installed, [] {
    page_size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_sigaction = on_bus_error;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &bus_action_before);
  });
  // A claimed slot reads as beginning past every address until it is filled.
  char* const claimed = reinterpret_cast<char*>(UINTPTR_MAX);
  for (MappedRange& range : mapped_ranges) {
    char* free_slot = nullptr;
    if (!range.begin.compare_exchange_strong(free_slot, claimed)) continue;
    range.end.store(begin + span);
    range.begin.store(begin);
    return;
  }
}

void forget_mapped_range(void* base) {
  for (MappedRange& range : mapped_ranges) {
    if (range.begin.load() == base) range.begin.store(nullptr);
  }
}

}  // namespace

constexpr size_t kSmallestMappedFile = 128 * 1024;

// Maps the open regular file of `size` bytes privately; false when the
// mapping is refused (the caller reads the file instead).
static bool map_open_file(int fd, size_t size, TextRead* result) {
  size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  // One zero page beyond the file's pages holds the terminating NUL even
  // when the file fills its last page; bytes past the end of a file in its
  // last page read as zero too.
  size_t span = (size + page - 1) / page * page + page;
  void* base = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return false;
  void* file = mmap(base, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd, 0);
  if (file == MAP_FAILED) {
    munmap(base, span);
    return false;
  }
  madvise(base, size, MADV_SEQUENTIAL | MADV_WILLNEED);
  char* text = static_cast<char*>(base);
  watch_mapped_range(text, span);
  result->text = text;
  result->length = size;
  result->map_base = base;
  result->map_span = span;
  return true;
}

// Reads a file whose size fstat gave; false with the error set when the
// read fails.
static bool read_sized(int fd, size_t size, TextAllocator allocate, TextRelease release, void* context,
                       TextRead* result) {
  char* buffer = allocate(context, size + 1);
  long long delivered = 0;
  if (size > 0) {
    errno = 0;
    delivered = read_fully(fd, buffer, size);
    if (delivered <= 0) {
      result->error = file_error_from_errno(errno);
      release(context, buffer);
      return false;
    }
  }
  buffer[delivered] = '\0';
  result->text = buffer;
  result->length = static_cast<size_t>(delivered);
  return true;
}

// Reads a stream of unknown length (a pipe, a device).
static bool read_stream(int fd, TextAllocator allocate, void* context, TextRead* result) {
  std::string gathered;
  if (!read_unsized(fd, gathered)) {
    result->error = file_error_from_errno(errno);
    return false;
  }
  char* buffer = allocate(context, gathered.size() + 1);
  memcpy(buffer, gathered.data(), gathered.size());
  buffer[gathered.size()] = '\0';
  result->text = buffer;
  result->length = gathered.size();
  return true;
}

TextRead read_text_file(const char* path, Mapping mapping, TextAllocator allocate, TextRelease release,
                        void* context) {
  TextRead result = {nullptr, 0, FILE_ERROR_NONE, false, nullptr, 0};
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    result.error = file_error_from_errno(errno);
    // Whatever reads as "file not found" is missing, a path through a plain file too.
    result.missing = (result.error == FILE_ERROR_NOT_FOUND);
    return result;
  }
  struct stat info;
  if (fstat(fd, &info) != 0) {
    result.error = file_error_from_errno(errno);
  } else if (S_ISDIR(info.st_mode)) {
    result.error = FILE_ERROR_PERMISSION;
  } else if (!S_ISREG(info.st_mode)) {
    read_stream(fd, allocate, context, &result);
  } else {
    size_t size = static_cast<size_t>(info.st_size);
    // A small file is read, not mapped: a copy of it costs less than mapping
    // and unmapping, and unmapping in a process of several jobs stops every
    // one of them to flush its address translations.
    bool mapped = mapping == Mapping::ALLOWED && size >= kSmallestMappedFile && map_open_file(fd, size, &result);
    if (!mapped) read_sized(fd, size, allocate, release, context, &result);
  }
  // The text is the file's bytes as they are: its line ends are written
  // back as they came, and the lexer reads a CR LF pair as one line end.
  close(fd);
  return result;
}

void unmap_text_file(void* base, size_t span) {
  forget_mapped_range(base);
  munmap(base, span);
}

// The current directory, asked for once: the program never changes it, and
// every source of a tree would otherwise ask again. Empty on failure.
static const std::string& current_directory() {
  static const std::string cwd = [] {
    std::string name;
    size_t size = 256;
    for (;;) {
      name.resize(size);
      if (getcwd(&name[0], size)) break;
      if (errno != ERANGE) return std::string();
      size *= 2;
    }
    name.resize(strlen(name.c_str()));
    return name;
  }();
  return cwd;
}

std::string absolute_path(const char* name) {
  if (name[0] == '/') return name;  // an absolute name is used as it stands
  const std::string& cwd = current_directory();
  if (cwd.empty()) return std::string();
  return normalize_components(cwd + "/" + name);
}

PathParts split_path(const char* path) {
  PathParts parts;
  const char* slash = strrchr(path, '/');
  const char* file = slash ? slash + 1 : path;
  parts.directory.assign(path, static_cast<size_t>(file - path));
  const char* dot = strrchr(file, '.');
  if (dot) {
    parts.base.assign(file, static_cast<size_t>(dot - file));
    parts.extension = dot;
  } else {
    parts.base = file;
  }
  return parts;
}

std::string join_path(const PathParts& parts) {
  return parts.directory + parts.base + parts.extension;
}

// The identity of what `name` names, from `directory` with statx's `flags`,
// and its mode when asked; false when there is nothing to look up.
static bool look_up_identity(int directory, const char* name, int flags, FileIdentity* identity,
                             unsigned* mode) {
  struct statx info;
  if (statx(directory, name, flags, STATX_TYPE | STATX_INO | STATX_BTIME, &info) != 0) {
    *identity = FileIdentity{false, 0, 0};
    return false;
  }
  unsigned long long birth = 0;
  if (info.stx_mask & STATX_BTIME) {
    birth = static_cast<unsigned long long>(info.stx_btime.tv_sec) * 1000000000u + info.stx_btime.tv_nsec;
  }
  *identity = FileIdentity{true, makedev(info.stx_dev_major, info.stx_dev_minor), info.stx_ino, birth};
  if (mode) *mode = info.stx_mode;
  return true;
}

FileIdentity file_identity(const char* path) {
  FileIdentity identity;
  look_up_identity(AT_FDCWD, path, 0, &identity, nullptr);
  return identity;
}

bool same_file(const FileIdentity& a, const FileIdentity& b) {
  return a.exists && b.exists && a.device == b.device && a.inode == b.inode &&
         (a.birth == 0 || b.birth == 0 || a.birth == b.birth);
}

bool read_directory(const char* path, std::vector<DirectoryEntry>* entries, FileError* error) {
  entries->clear();
  DIR* dir = opendir(path);
  if (!dir) {
    *error = file_error_from_errno(errno);
    return false;
  }
  for (;;) {
    errno = 0;
    dirent* entry = readdir(dir);
    if (!entry) {
      if (errno != 0) {
        *error = file_error_from_errno(errno);
        closedir(dir);
        return false;
      }
      break;
    }
    const char* name = entry->d_name;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
    EntryKind kind = EntryKind::OTHER;
    FileIdentity identity;
    unsigned mode;
    // Looked up from the directory itself: the path to it is not walked again.
    if (look_up_identity(dirfd(dir), name, AT_SYMLINK_NOFOLLOW, &identity, &mode)) {
      if (S_ISLNK(mode)) kind = EntryKind::LINK;
      else if (S_ISDIR(mode)) kind = EntryKind::DIRECTORY;
      else if (S_ISREG(mode)) kind = EntryKind::REGULAR;
    }
    entries->push_back(DirectoryEntry{name, kind, identity});
  }
  closedir(dir);
  return true;
}

bool is_directory(const char* path, FileIdentity* identity) {
  unsigned mode;
  return look_up_identity(AT_FDCWD, path, 0, identity, &mode) && S_ISDIR(mode);
}

bool file_holds_text(const char* path, const char* data, size_t size) {
  // A pipe is not opened again: there may be no writer any more.
  struct stat named;
  if (stat(path, &named) != 0 || !S_ISREG(named.st_mode)) return false;
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info;
  bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  // A text is read as the file holds it, line ends included: a file of
  // another length is no match.
  bool read_ok = regular && static_cast<unsigned long long>(info.st_size) == size;
  std::string raw;
  if (read_ok) {
    raw.resize(size + 1);
    long long got = read_fully(fd, &raw[0], raw.size());
    // One byte more than the size said: a file that grew meanwhile is no match.
    read_ok = got == static_cast<long long>(size);
  }
  close(fd);
  return read_ok && memcmp(raw.data(), data, size) == 0;
}

const char* const kReplacementMark = ".morfe-";

static bool write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t done = write(fd, data, size);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

bool replace_file(const char* path, const char* data, size_t size, FileError* error,
                  const ReplacementWatch* watch) {
  struct stat old_info;
  if (lstat(path, &old_info) != 0) {
    *error = file_error_from_errno(errno);
    return false;
  }
  std::string real = path;
  if (S_ISLNK(old_info.st_mode)) {
    // The file a link points to is replaced, in its own directory.
    char* target = realpath(path, nullptr);
    if (!target || stat(target, &old_info) != 0) {
      *error = file_error_from_errno(errno);
      free(target);
      return false;
    }
    real = target;
    free(target);
  }
  if (!S_ISREG(old_info.st_mode)) {
    // A pipe or a device read as a source is not turned into a plain file.
    *error = FILE_ERROR_PERMISSION;
    return false;
  }
  size_t slash = real.rfind('/');
  size_t name_begin = slash == std::string::npos ? 0 : slash + 1;
  std::string temporary =
      real.substr(0, name_begin) + "." + real.substr(name_begin) + kReplacementMark + "XXXXXX";
  int fd = mkostemp(&temporary[0], O_CLOEXEC);
  if (fd < 0) {
    *error = file_error_from_errno(errno);
    return false;
  }
  bool good = write_all(fd, data, size);
  // Owner and group first: changing them may clear the set-id bits.
  if (good && fchown(fd, old_info.st_uid, old_info.st_gid) != 0) {
    if (fchown(fd, static_cast<uid_t>(-1), old_info.st_gid) != 0) {
      // Not permitted: the file becomes the user's, as any editor makes it.
    }
  }
  if (good && fchmod(fd, old_info.st_mode & 07777) != 0) good = false;
  if (good && fsync(fd) != 0) good = false;
  FileIdentity new_file;
  if (good && watch) {
    if (!look_up_identity(fd, "", AT_EMPTY_PATH, &new_file, nullptr)) {
      good = false;
    } else {
      try {
        watch->note(watch->context, path, new_file);
      } catch (...) {
        close(fd);
        unlink(temporary.c_str());
        throw;
      }
    }
  }
  int saved = errno;
  if (close(fd) != 0 && good) {
    good = false;
    saved = errno;
  }
  if (good && rename(temporary.c_str(), real.c_str()) != 0) {
    good = false;
    saved = errno;
  }
  if (!good) {
    unlink(temporary.c_str());
    *error = file_error_from_errno(saved);
    return false;
  }
  return true;
}

bool open_memory_stream(MemoryStream* memory) {
  memory->data = nullptr;
  memory->size = 0;
  memory->stream = open_memstream(&memory->data, &memory->size);
  return memory->stream != nullptr;
}

bool settle_memory_stream(MemoryStream* memory) {
  return fflush(memory->stream) == 0 && !ferror(memory->stream);
}

void close_memory_stream(MemoryStream* memory) {
  if (memory->stream) fclose(memory->stream);
  free(memory->data);
  *memory = MemoryStream{nullptr, nullptr, 0};
}

unsigned processor_count() {
  long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<unsigned>(count) : 1;
}
