// The few calls that depend on the operating system. Porting the tool to
// another platform means rewriting this module and nothing else.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// File error codes by meaning; the numbers are the C library's classic ones.
enum FileError {
  FILE_ERROR_NONE = 0,
  FILE_ERROR_NOT_FOUND = 2,
  FILE_ERROR_NO_MEMORY = 12,
  FILE_ERROR_PERMISSION = 13,
  FILE_ERROR_EXISTS = 17,
  FILE_ERROR_INVALID_NAME = 22,
  FILE_ERROR_DISK_FULL = 28,
  FILE_ERROR_OTHER = -1,
};

// Maps an errno value of this platform onto its meaning.
FileError file_error_from_errno(int native_errno);

// Reads a whole file as it is: no byte is translated, line ends included.
// The file is opened once: one open, one fstat, one read or map, one close.
// `allocate` is asked once for the buffer (capacity bytes,
// one more than the largest text it may have to hold); the text is
// NUL-terminated and its length (the bytes delivered) stored.
// With Mapping::ALLOWED a large regular file is mapped privately instead:
// the same text with no copy of the file's bytes, `map_base` and `map_span`
// set for unmap_text_file (null and 0 for a text that was read). Should
// the file shrink while it is mapped, the text reads as ending (a NUL)
// where the file's bytes are gone.
// Returns a null text and sets `error` when the file cannot be opened or
// read; a file that is empty gives an empty text. A read that delivers no
// byte of a file that claimed to have some counts as a failure.
struct TextRead {
  char* text;
  size_t length;
  FileError error;
  bool missing;  // the open failed because the file does not exist (error is NOT_FOUND)
  void* map_base;
  size_t map_span;
};
enum class Mapping { ALLOWED, NEVER };
using TextAllocator = char* (*)(void* context, size_t capacity);
using TextRelease = void (*)(void* context, char* buffer);
TextRead read_text_file(const char* path, Mapping mapping, TextAllocator allocate, TextRelease release, void* context);
void unmap_text_file(void* base, size_t span);

// The absolute form of a path name: an absolute name as it stands; a relative
// one joined to the current directory, with "." and "dir/.." components and
// doubled separators folded away. Empty on failure.
std::string absolute_path(const char* name);

// A path split into directory (with its trailing separator), base name and
// extension (from the last '.' of the last component, dot included).
struct PathParts {
  std::string directory;
  std::string base;
  std::string extension;
};
PathParts split_path(const char* path);
std::string join_path(const PathParts& parts);

// Identity of an existing file, so that two spellings of one file compare
// equal: its device and inode, and its birth time where the file system
// keeps one, so that the inode of a file gone and given to a new one (a
// replaced source's) does not pass for the old.
struct FileIdentity {
  bool exists;
  unsigned long long device;
  unsigned long long inode;
  unsigned long long birth = 0;  // in nanoseconds; 0 where not kept
};
FileIdentity file_identity(const char* path);
bool same_file(const FileIdentity& a, const FileIdentity& b);

// --- Trees of sources ---

enum class EntryKind { REGULAR, DIRECTORY, LINK, OTHER };
struct DirectoryEntry {
  std::string name;
  EntryKind kind;  // of the entry itself: a link is not followed
  FileIdentity identity;  // of the entry itself; a regular file's is the file's
};
// The entries of a directory but "." and "..", in no particular order.
// False, with `error` set, when the directory cannot be read.
bool read_directory(const char* path, std::vector<DirectoryEntry>* entries, FileError* error);
// True when the name (a link followed) is a directory; `identity` is that of
// what the name names, when it names anything at all.
bool is_directory(const char* path, FileIdentity* identity);

// --- Replacing a file by a new text ---

// True when the file holds exactly these bytes (line ends as they are, as
// sources are read).
bool file_holds_text(const char* path, const char* data, size_t size);

// Prefix of the temporary files that replace_file leaves should it be killed
// at the wrong moment: "." (hidden, and skipped by a walk of the tree),
// the file's name, then this, then six random characters.
extern const char* const kReplacementMark;

// Writes `data` to a temporary file in the directory of the file `path`
// points to, flushes it to the device, gives it that file's permission bits
// (and owner and group where permitted) and renames it over that file: at
// every moment the file holds either all of its old text or all of the new
// one. A symbolic link stays; the file it points to is replaced. Only a
// regular file is replaced: anything else fails as not permitted. On failure
// returns false with `error` set, the old file untouched and no temporary
// file left. With `watch`, the new file's identity is told before the new
// file takes the old one's name; should `note` throw (the heap refusing),
// the old file stays and the temporary goes before the exception goes on.
struct ReplacementWatch {
  void (*note)(void* context, const char* path, const FileIdentity& identity);
  void* context;
};
bool replace_file(const char* path, const char* data, size_t size, FileError* error,
                  const ReplacementWatch* watch = nullptr);

// --- Output kept in memory ---

// A stream whose bytes are kept in memory, for output that must wait its turn.
struct MemoryStream {
  FILE* stream;
  char* data;
  size_t size;
};
// False when the stream cannot be made (no memory).
bool open_memory_stream(MemoryStream* memory);
// Flushes the stream so that `data` and `size` show everything written;
// false on a write error.
bool settle_memory_stream(MemoryStream* memory);
// Closes the stream and frees its bytes.
void close_memory_stream(MemoryStream* memory);

// Processors of this machine, at least 1.
unsigned processor_count();
