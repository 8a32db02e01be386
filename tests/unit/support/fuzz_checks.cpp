#include "support/fuzz_checks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MORFE_CHECKS_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define MORFE_CHECKS_ASAN 1
#endif
#ifdef MORFE_CHECKS_ASAN
#include <sanitizer/asan_interface.h>
#define POISON(block, size) __asan_poison_memory_region((block), (size))
#define UNPOISON(block, size) __asan_unpoison_memory_region((block), (size))
#else
#define POISON(block, size) ((void)(block), (void)(size))
#define UNPOISON(block, size) ((void)(block), (void)(size))
#endif

#include "driver/file_runner.h"
#include "driver/options.h"
#include "lex/char_class.h"
#include "lex/tokenizer.h"
#include "lex/wide_scan.h"
#include "macro/table_snapshot.h"
#include "memory/arena.h"
#include "memory/heap.h"
#include "memory/pool.h"
#include "source/preprocessor.h"
#include "source/run_settings.h"

namespace {

std::string at_offset(const char* what, size_t offset) {
  return std::string(what) + " at offset " + std::to_string(offset);
}

// ---------------------------------------------------------------------------
// The tokeniser alone

struct TokeniserRun {
  Options options;
  Arena* arena;
  RunSettings settings;
  Preprocessor* p;

  TokeniserRun(int cplusplus, bool modern, FILE* sink) {
    options = default_options();
    options.wall = 1;  // every check reports, so every report path runs
    options.info = nullptr;
    options.diag = sink;
    arena = arena_create();
    init_run_settings(&settings, &options, cplusplus != 0, pool_create(arena));
    p = create_preprocessor(&settings);
    p->lex.modern = modern;
  }
  ~TokeniserRun() { arena_release(arena); }
};

struct Extent {
  TokenKind kind;
  const char* begin;
  const char* end;
};

std::string tokenise(Preprocessor* p, const char* text, const char* nul, int quiet, std::vector<Extent>& out) {
  out.clear();
  const char* cursor = text;
  LexState ls = p->lex;
  ls.quiet = quiet != 0;
  for (;;) {
    const char* start = cursor;
    TokenKind kind = next_token(&ls, cursor);
    if (cursor > nul) return at_offset("cursor past the NUL", static_cast<size_t>(start - text));
    if (kind == TK_EOF) {
      if (cursor != nul) return at_offset("TK_EOF away from the NUL", static_cast<size_t>(cursor - text));
      const char* again = cursor;
      if (next_token(&ls, again) != TK_EOF || again != cursor) {
        return at_offset("TK_EOF not repeated", static_cast<size_t>(cursor - text));
      }
      return "";
    }
    if (cursor <= start) return at_offset("no progress", static_cast<size_t>(start - text));
    if (static_cast<int>(kind) < 1 || kind > kLastTokenKind || kind == TK_PLACEMARKER || kind == TK_CONCAT) {
      return at_offset("kind out of range", static_cast<size_t>(start - text));
    }
    out.push_back({kind, start, cursor});
  }
}

FILE* null_sink() {
  static FILE* sink = fopen("/dev/null", "w");
  return sink;
}

// ---------------------------------------------------------------------------
// A reference reading of a source, independent of the tool's own lexer: the
// logical characters (trigraphs replaced, splices removed) with where each
// stands in the text, and the tokens that matter to the properties below.

struct LogicalChar {
  char c;
  size_t at;   // offset of the character itself (after any splices before it)
  size_t end;  // offset just past it (past its trigraph)
};

char trigraph_of(char c) {
  switch (c) {
    case '=': return '#';
    case '(': return '[';
    case ')': return ']';
    case '/': return '\\';
    case '\'': return '^';
    case '<': return '{';
    case '>': return '}';
    case '!': return '|';
    case '-': return '~';
    default: return 0;
  }
}

// Without trigraphs in modern mode.
std::vector<LogicalChar> logical_chars(const std::string& text, bool trigraphs) {
  auto raw = [&text](size_t i) { return i < text.size() ? text[i] : '\0'; };
  std::vector<LogicalChar> chars;
  size_t i = 0;
  for (;;) {
    // A line end is a LF or a CR LF pair, for a splice too.
    auto line_end = [&raw](size_t at) -> size_t { return raw(at) == '\n' ? 1 : raw(at) == '\r' && raw(at + 1) == '\n' ? 2 : 0; };
    for (;;) {
      if (raw(i) == '\\' && line_end(i + 1)) {
        i += 1 + line_end(i + 1);
      } else if (trigraphs && raw(i) == '?' && raw(i + 1) == '?' && raw(i + 2) == '/' && line_end(i + 3)) {
        i += 3 + line_end(i + 3);
      } else {
        break;
      }
    }
    if (i >= text.size()) break;
    size_t at = i;
    char c = raw(i);
    if (trigraphs && c == '?' && raw(i + 1) == '?' && trigraph_of(raw(i + 2))) {
      c = trigraph_of(raw(i + 2));
      i += 3;
    } else if (line_end(i) == 2) {
      c = '\n';
      i += 2;
    } else {
      i += 1;
    }
    chars.push_back({c, at, i});
  }
  chars.push_back({'\0', text.size(), text.size()});
  return chars;
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_hex(char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

struct Reading {
  bool unterminated_comment = false;
  bool unterminated_raw_string = false;  // it runs to the end: the run fails, the text is kept
  std::vector<std::pair<size_t, size_t>> identifiers;  // logical index ranges
};

// Length of a universal character name at `i` (a backslash), or 0.
size_t ucn_length(const std::vector<LogicalChar>& l, size_t i) {
  if (l[i].c != '\\' || (l[i + 1].c != 'u' && l[i + 1].c != 'U')) return 0;
  size_t digits = l[i + 1].c == 'u' ? 4 : 8;
  for (size_t k = 0; k < digits; ++k) {
    if (!is_hex(l[i + 2 + k].c)) return 0;
  }
  return 2 + digits;
}

// Past the closing quote of a literal whose body starts at `i`, or 0 when a
// line break or the end comes first.
size_t literal_end(const std::vector<LogicalChar>& l, size_t i, char quote) {
  for (;;) {
    char c = l[i].c;
    if (c == '\0' || c == '\n') return 0;
    if (c == quote) return i + 1;
    i += (c == '\\' && l[i + 1].c != '\0') ? 2 : 1;
  }
}

// Modern C++: past the raw string literal whose opening quote is l[quote],
// read on the raw text; 0 when no delimiter and '(' follow, l.size() - 1
// (the end) when it does not close.
size_t raw_string_end(const std::string& text, const std::vector<LogicalChar>& l, size_t quote, bool* unterminated) {
  size_t open = l[quote].end;
  size_t paren = open;
  while (paren < text.size() && paren - open <= 16 && !strchr(" ()\\\t\v\f\n\r", text[paren]) && text[paren] != '\0') {
    ++paren;
  }
  if (paren >= text.size() || text[paren] != '(' || paren - open > 16) return 0;
  std::string closing = ")" + text.substr(open, paren - open) + "\"";
  size_t close = text.find(closing, paren + 1);
  if (close == std::string::npos) {
    *unterminated = true;
    return l.size() - 1;
  }
  size_t raw_end = close + closing.size();
  size_t j = quote + 1;
  while (l[j].c != '\0' && l[j].at < raw_end) ++j;
  return j;
}

// An identifier at `i`, recorded, and where it ends (`i` when none begins
// there). Right after a literal (modern C++) it is the literal's suffix: a
// name still, and never the prefix of a literal after it.
size_t take_identifier(const std::vector<LogicalChar>& l, size_t i, Reading& reading) {
  if (!is_letter(l[i].c) && !ucn_length(l, i)) return i;
  size_t begin = i;
  for (;;) {
    if (is_letter(l[i].c) || is_digit(l[i].c)) {
      ++i;
    } else if (size_t n = ucn_length(l, i)) {
      i += n;
    } else {
      break;
    }
  }
  reading.identifiers.push_back({begin, i});
  return i;
}

Reading read_reference(const std::string& text, const std::vector<LogicalChar>& l, bool cplusplus, bool modern) {
  Reading reading;
  size_t i = 0;
  while (l[i].c != '\0') {
    char c = l[i].c;
    char c2 = l[i + 1].c;
    if (c == '/' && c2 == '*') {
      size_t j = i + 2;
      while (l[j].c != '\0' && !(l[j].c == '*' && l[j + 1].c == '/')) ++j;
      if (l[j].c == '\0') {
        reading.unterminated_comment = true;
        return reading;
      }
      i = j + 2;
    } else if (c == '/' && c2 == '/') {
      while (l[i].c != '\0' && l[i].c != '\n') ++i;
    } else if (c == '"' || c == '\'' || (c == 'L' && (c2 == '"' || c2 == '\''))) {
      size_t body = c == 'L' ? i + 2 : i + 1;
      char quote = l[body - 1].c;
      // Empty quotes hold no character constant; a literal that does not end
      // on its line leaves its first character as a token of its own.
      size_t end = (quote == '\'' && l[body].c == '\'') ? 0 : literal_end(l, body, quote);
      i = end ? end : i + 1;
      if (end && modern && cplusplus) i = take_identifier(l, i, reading);
    } else if (is_digit(c) || (c == '.' && is_digit(c2))) {
      ++i;
      for (;;) {
        char d = l[i].c;
        if (d == 'e' || d == 'E' || ((!cplusplus || modern) && (d == 'p' || d == 'P'))) {
          ++i;
          if (l[i].c == '+' || l[i].c == '-') ++i;
        } else if (is_letter(d) || is_digit(d) || d == '.') {
          ++i;
        } else if (modern && d == '\'' && (is_letter(l[i + 1].c) || is_digit(l[i + 1].c))) {  // a digit separator
          ++i;
        } else if (size_t n = ucn_length(l, i)) {
          i += n;
        } else {
          break;
        }
      }
    } else if (is_letter(c) || ucn_length(l, i)) {
      size_t begin = i;
      i = take_identifier(l, i, reading);
      if (modern && cplusplus && l[i].c == '"') {
        std::string word;
        for (size_t k = begin; k < i; ++k) word += l[k].c;
        if (word == "R" || word == "LR" || word == "u8R" || word == "uR" || word == "UR") {
          if (size_t end = raw_string_end(text, l, i, &reading.unterminated_raw_string)) {
            reading.identifiers.pop_back();
            if (reading.unterminated_raw_string) return reading;
            i = take_identifier(l, end, reading);
          }
        }
      }
    } else {
      ++i;
    }
  }
  return reading;
}

std::string logical_string(const std::vector<LogicalChar>& l) {
  std::string text;
  for (const LogicalChar& c : l) {
    if (c.c != '\0') text += c.c;
  }
  return text;
}

// ---------------------------------------------------------------------------
// Runs of the file runner

// A private scratch directory, made once per process and removed at its end.
struct Scratch {
  std::string dir;
  Scratch() {
    // Files are written and read back several times per input: a memory
    // file system, where there is one, keeps that cheap.
    const char* tmp = getenv("TMPDIR");
    struct stat shm;
    if (!tmp || !*tmp) tmp = stat("/dev/shm", &shm) == 0 && access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(tmp) + "/morfe_fuzz_XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) {
      perror("mkdtemp");
      abort();
    }
    dir = name.data();
  }
  ~Scratch() {
    for (const char* file : {"/table", "/source", "/out", "/out1", "/out2", "/out3", "/out4"}) {
      unlink((dir + file).c_str());
    }
    rmdir(dir.c_str());
  }
  std::string path(const char* file) const { return dir + "/" + file; }
};

const Scratch& scratch() {
  static Scratch instance;
  return instance;
}

bool write_file(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool good = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && good;
}

bool read_file(const std::string& path, std::string* bytes) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  bytes->clear();
  char buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, got);
  fclose(f);
  return true;
}

// The tool's heap during the checks: it counts the blocks that are out, so
// that a run that does not give back all it took is caught, and it keeps a
// few released blocks for reuse. Every run takes a 2 MiB chunk and a 1 MiB
// output buffer; fresh mappings for them each time would cost more than the
// run itself. A kept block is poisoned, so a use after release still shows.
struct CheckHeap {
  static constexpr size_t kHeader = 16;  // the block's size, keeping the alignment of malloc
  static constexpr size_t kKept = 8;
  static long outstanding;
  // A plain array, not a container: it must still hold the blocks when the
  // leak checker looks at the end of the process.
  static char* kept[kKept];
  static size_t kept_count;

  static size_t size_of(char* base) {
    size_t size;
    memcpy(&size, base, sizeof size);
    return size;
  }
  static void* allocate(size_t size) {
    for (size_t i = 0; i < kept_count; ++i) {
      if (size_of(kept[i]) != size) continue;
      char* base = kept[i];
      kept[i] = kept[--kept_count];
      UNPOISON(base + kHeader, size);
      ++outstanding;
      return base + kHeader;
    }
    if (size > SIZE_MAX - kHeader) return nullptr;
    char* base = static_cast<char*>(malloc(size + kHeader));
    if (!base) return nullptr;
    memcpy(base, &size, sizeof size);
    ++outstanding;
    return base + kHeader;
  }
  static void release(void* block) {
    if (!block) return;
    --outstanding;
    char* base = static_cast<char*>(block) - kHeader;
    if (kept_count < kKept) {
      POISON(block, size_of(base));
      kept[kept_count++] = base;
    } else {
      free(base);
    }
  }
};
long CheckHeap::outstanding;
char* CheckHeap::kept[CheckHeap::kKept];
size_t CheckHeap::kept_count;

// Puts the check heap in place for one check and the tool's own back after.
struct CheckHeapInPlace {
  HeapAllocate saved_allocate = heap_allocate;
  HeapRelease saved_release = heap_release;
  CheckHeapInPlace() {
    heap_allocate = CheckHeap::allocate;
    heap_release = CheckHeap::release;
  }
  ~CheckHeapInPlace() {
    heap_allocate = saved_allocate;
    heap_release = saved_release;
  }
};

struct RunResult {
  bool ok;  // the runner reported success
  bool has_output;
  std::string output;
  long heap_kept;  // heap blocks the run took and did not give back
};

Options options_of(uint8_t bits) {
  Options options = default_options();
  options.info = nullptr;
  options.diag = null_sink();
  options.wdisable = (bits & BIT_WDISABLE) != 0;
  options.wall = !options.wdisable && (bits & BIT_WALL) != 0;
  options.wnosafe = !options.wdisable && !options.wall && (bits & BIT_WNOSAFE) != 0;
  options.werrors = (bits & BIT_WERRORS) != 0;
  options.luchar = (bits & BIT_LUCHAR) != 0;
  options.tdisable = (bits & BIT_TDISABLE) != 0;
  options.lmodern = (bits & BIT_MODERN) != 0;
  return options;
}

void write_inputs(const std::string& table, const std::string& source) {
  const Scratch& s = scratch();
  if (!write_file(s.path("table"), table) || !write_file(s.path("source"), source)) {
    perror("writing the fuzz input");
    abort();
  }
}

// How the runner writes a line whose only changes are plainly written names:
// in place as it checks it (the tool's way), or through tokens like every
// other line.
enum class PlainLines { RENAMED_IN_PLACE, THROUGH_TOKENS };

// One source file's run on the files written by write_inputs, as the first
// file of a command line or a later one (then with the table cache, if any).
// With `diag` the diagnostics go there; with `line_part_tokens` logical
// lines are read in parts of that many tokens.
RunResult run_written(uint8_t bits, bool cplusplus, int first_file, TableCache* tables = nullptr,
                      OutputLog* shared_log = nullptr, const char* out_name = "out", FILE* diag = nullptr,
                      unsigned long line_part_tokens = 0, PlainLines plain_lines = PlainLines::RENAMED_IN_PLACE) {
  const Scratch& s = scratch();
  std::string table_path = s.path("table"), source_path = s.path("source"), out_path = s.path(out_name);
  unlink(out_path.c_str());
  Options options = options_of(bits);
  if (diag) options.diag = diag;
  if (line_part_tokens) options.line_part_tokens = line_part_tokens;
  options.in_place_renaming = plain_lines == PlainLines::RENAMED_IN_PLACE;
  options.reptable_name = table_path.c_str();
  options.output_name = out_path.c_str();
  options.lc = !cplusplus;
  options.lplus = cplusplus;
  OutputLog own_log;
  OutputLog* log = shared_log ? shared_log : &own_log;
  RunResult result;
  long outstanding = CheckHeap::outstanding;
  result.ok = run_file(source_path.c_str(), first_file, &options, log, tables) != 0;
  result.heap_kept = CheckHeap::outstanding - outstanding;
  result.has_output = read_file(out_path, &result.output);
  return result;
}

RunResult run_runner(const std::string& table, const std::string& source, uint8_t bits, bool cplusplus) {
  write_inputs(table, source);
  return run_written(bits, cplusplus, (bits & BIT_LATER_FILE) ? 0 : 1);
}

// The text as the tool loads it: its bytes as they are, up to a NUL, which ends it.
std::string as_loaded(const std::string& bytes, bool* has_nul) {
  std::string text = bytes;
  size_t nul = text.find('\0');
  *has_nul = nul != std::string::npos;
  if (*has_nul) text.resize(nul);
  return text;
}

bool is_alternative_word(const std::string& word) {
  static const std::set<std::string> words = {"and", "and_eq", "bitand", "bitor", "compl",  "delete", "new",
                                              "not", "not_eq", "or",     "or_eq", "xor",    "xor_eq"};
  return words.count(word) != 0;
}

std::string mode_name(bool cplusplus) { return cplusplus ? "C++" : "C"; }

std::string show(const std::string& text) {
  std::string shown;
  for (unsigned char c : text.substr(0, 200)) {
    if (c == '\n') {
      shown += "\\n";
    } else if (c < 32 || c >= 127) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02x", c);
      shown += hex;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return text.size() > 200 ? shown + "..." : shown;
}

// With an empty table the output is the source as loaded. A source that ends
// inside a comment is a fatal error: the output is then what came before the
// logical line of the comment. A NUL is an error and ends the text.
std::string check_identity(const std::string& source, const std::string& loaded, bool has_nul, const Reading& reading,
                           uint8_t bits, bool cplusplus) {
  RunResult run = run_runner("", source, bits & ~BIT_WERRORS, cplusplus);
  std::string where = " (empty table, " + mode_name(cplusplus) + ")";
  if (!run.has_output) return "no output file" + where;
  bool should_fail = has_nul || reading.unterminated_comment || reading.unterminated_raw_string;
  if (run.ok == should_fail) {
    return std::string(run.ok ? "success" : "failure") + " reported" + where +
           (reading.unterminated_comment ? "; the source ends inside a comment" : "") +
           (reading.unterminated_raw_string ? "; the source ends inside a raw string" : "") +
           (has_nul ? "; the source holds a NUL" : "");
  }
  if (reading.unterminated_comment) {
    if (loaded.compare(0, run.output.size(), run.output) != 0 || run.output.size() > loaded.size()) {
      return "output is not a prefix of the source" + where + ": " + show(run.output);
    }
    return "";
  }
  if (run.output != loaded) {
    size_t i = 0;
    while (i < run.output.size() && i < loaded.size() && run.output[i] == loaded[i]) ++i;
    return "output differs from the source at offset " + std::to_string(i) + where + "\n  source: " +
           show(loaded.substr(i > 20 ? i - 20 : 0, 80)) + "\n  output: " + show(run.output.substr(i > 20 ? i - 20 : 0, 80));
  }
  return "";
}

// An identifier of the source written plainly (letters, digits and
// underscores, no splice or trigraph inside), chosen by `pick`; empty when
// there is none.
std::string plain_identifier(const std::string& loaded, const std::vector<LogicalChar>& l, const Reading& reading,
                             bool cplusplus, unsigned pick) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const auto& range : reading.identifiers) {
    // A splice right before a name opens its token: it is spelled with it.
    size_t raw_begin = range.first ? l[range.first - 1].end : 0, raw_end = l[range.second - 1].end;
    std::string raw = loaded.substr(raw_begin, raw_end - raw_begin);
    bool plain = raw.size() == range.second - range.first;
    for (char c : raw) plain = plain && (is_letter(c) || is_digit(c));
    if (!plain || (cplusplus && is_alternative_word(raw)) || !seen.insert(raw).second) continue;
    names.push_back(raw);
  }
  return names.empty() ? std::string() : names[pick % names.size()];
}

// True when the name occurs in the logical text (in any context) spelled
// otherwise than plainly, across a splice or a trigraph or opened by a
// splice: such an occurrence is renamed, and its spelling is not restored
// by renaming back.
bool spelled_otherwise(const std::string& name, const std::string& loaded, const std::vector<LogicalChar>& l,
                       const std::string& logical) {
  for (size_t i = logical.find(name); i != std::string::npos; i = logical.find(name, i + 1)) {
    size_t raw_begin = i ? l[i - 1].end : 0, raw_end = l[i + name.size() - 1].end;
    if (loaded.compare(raw_begin, raw_end - raw_begin, name) != 0) return true;
  }
  return false;
}

// Renaming X to a fresh Y and Y back to X gives the source again.
std::string check_round_trip(const std::string& source, const std::string& loaded, const std::vector<LogicalChar>& l,
                             const std::string& logical, const Reading& reading, uint8_t bits, bool cplusplus,
                             unsigned pick) {
  std::string x = plain_identifier(loaded, l, reading, cplusplus, pick);
  if (x.empty() || spelled_otherwise(x, loaded, l, logical)) return "";
  std::string y;
  for (unsigned n = 0;; ++n) {
    y = "zq_fresh_" + std::to_string(n);
    if (source.find(y) == std::string::npos) break;
  }
  std::string where = " (" + x + " -> " + y + " and back, " + mode_name(cplusplus) + ")";
  RunResult there = run_runner(x + " " + y + "\n", source, bits & ~BIT_WERRORS, cplusplus);
  if (!there.ok || !there.has_output) return "renaming failed" + where;
  RunResult back = run_runner(y + " " + x + "\n", there.output, bits & ~BIT_WERRORS, cplusplus);
  if (!back.ok || !back.has_output) return "renaming back failed" + where;
  if (back.output != loaded) {
    size_t i = 0;
    while (i < back.output.size() && i < loaded.size() && back.output[i] == loaded[i]) ++i;
    size_t from = i > 20 ? i - 20 : 0;
    return "renaming back differs from the source at offset " + std::to_string(i) + where + "\n  source:  " +
           show(loaded.substr(from, 80)) + "\n  renamed: " + show(there.output.substr(from, 80)) +
           "\n  back:    " + show(back.output.substr(from, 80));
  }
  return "";
}

// A source's output does not depend on where it stands on the command line:
// run as the first file, as a later one taking the table from the run's
// snapshot (after another file has added its own names), and as a later one
// loading the table itself, it comes out the same. The one exception is a
// table that ends inside a comment: fatal for the first file, where its
// diagnostics are given, and the end of the table for the others.
std::string check_command_line(const std::string& table, const std::string& source, uint8_t bits, bool cplusplus) {
  std::string where = " (" + mode_name(cplusplus) + ")";
  TableCache cache = make_table_cache();
  OutputLog log;
  long outstanding = CheckHeap::outstanding;
  write_inputs(table, source);
  RunResult first = run_written(bits, cplusplus, 1, &cache, &log, "out1");
  // Another source in between, whose names go into the table's chains.
  write_inputs(table, table + "\n" + source.substr(0, source.size() / 2));
  RunResult between = run_written(bits, cplusplus, 0, &cache, &log, "out2");
  write_inputs(table, source);
  RunResult later = run_written(bits, cplusplus, 0, &cache, &log, "out3");
  RunResult again = run_written(bits, cplusplus, 0, &cache, &log, "out4");
  release_table_cache(&cache);
  RunResult loading = run_written(bits, cplusplus, 0);
  if (CheckHeap::outstanding != outstanding) {
    return std::to_string(CheckHeap::outstanding - outstanding) + " heap blocks not released after several files" + where;
  }
  for (const RunResult* run : {&first, &between, &later, &again, &loading}) {
    if (!run->has_output) return "no output file for one of several files" + where;
  }
  if (later.output != loading.output || later.ok != loading.ok) {
    return "a later file comes out otherwise with the table's snapshot than with the table loaded" + where +
           "\n  snapshot: " + show(later.output) + (later.ok ? "" : " (failed)") + "\n  loaded:   " +
           show(loading.output) + (loading.ok ? "" : " (failed)");
  }
  if (again.output != later.output || again.ok != later.ok) {
    return "the table's snapshot gives another output the second time" + where + "\n  first:  " +
           show(later.output) + "\n  second: " + show(again.output);
  }
  bool has_nul = false;
  std::string loaded_table = as_loaded(table, &has_nul);
  Reading reading = read_reference(loaded_table, logical_chars(loaded_table, true), cplusplus, false);
  if (!reading.unterminated_comment && first.output != later.output) {
    return "a source comes out otherwise as the first file than as a later one" + where + "\n  first: " +
           show(first.output) + "\n  later: " + show(later.output);
  }
  return "";
}

// What a run wrote to its diagnostic stream.
struct Captured {
  RunResult run;
  std::string diagnostics;
};

Captured run_captured(uint8_t bits, bool cplusplus, unsigned long line_part_tokens,
                      PlainLines plain_lines = PlainLines::RENAMED_IN_PLACE) {
  FILE* diag = tmpfile();
  if (!diag) {
    perror("tmpfile");
    abort();
  }
  Captured captured;
  captured.run = run_written(bits, cplusplus, (bits & BIT_LATER_FILE) ? 0 : 1, nullptr, nullptr, "out", diag,
                             line_part_tokens, plain_lines);
  rewind(diag);
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, diag)) > 0) captured.diagnostics.append(buffer, got);
  fclose(diag);
  return captured;
}

// A line read in parts of a few tokens comes out as when it is read whole
// (`whole`, the run on the inputs as written), with the same diagnostics,
// whatever it holds.
std::string check_line_parts(const Captured& whole, uint8_t bits, bool cplusplus) {
  for (unsigned long tokens : {1ul, 2ul, 5ul}) {
    Captured parts = run_captured(bits, cplusplus, tokens);
    std::string where = " (parts of " + std::to_string(tokens) + " tokens, " + mode_name(cplusplus) + ")";
    if (parts.run.ok != whole.run.ok || parts.run.has_output != whole.run.has_output) {
      return "another outcome when lines are read in parts" + where;
    }
    if (parts.run.output != whole.run.output) {
      return "another output when lines are read in parts" + where + "\n  whole: " + show(whole.run.output) +
             "\n  parts: " + show(parts.run.output);
    }
    if (parts.diagnostics != whole.diagnostics) {
      return "other diagnostics when lines are read in parts" + where + "\n  whole: " + show(whole.diagnostics) +
             "\n  parts: " + show(parts.diagnostics);
    }
  }
  return "";
}

// The two texts from a little before where they first differ, one under the
// other: a long output or a run of diagnostics differs past what show()
// would keep of its start.
std::string show_difference(const char* name_a, const std::string& a, const char* name_b, const std::string& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  size_t from = i > 40 ? i - 40 : 0;
  return " at offset " + std::to_string(i) + "\n  " + name_a + show(a.substr(from, 160)) + "\n  " + name_b +
         show(b.substr(from, 160));
}

std::string outcome_of(const RunResult& run) {
  return std::string(run.ok ? "success" : "failure") + (run.has_output ? "" : ", no output file");
}

// `in_place` against the same run with every line through tokens.
std::string compare_with_tokens(const Captured& in_place, uint8_t bits, bool cplusplus) {
  Captured tokens = run_captured(bits, cplusplus, 0, PlainLines::THROUGH_TOKENS);
  std::string where = " with no line renamed in place (" + mode_name(cplusplus) + ", " +
                      ((bits & BIT_LATER_FILE) ? "a later file" : "the first file") + ")";
  if (tokens.run.ok != in_place.run.ok || tokens.run.has_output != in_place.run.has_output) {
    return "another outcome" + where + "\n  in place: " + outcome_of(in_place.run) + "\n  tokens:   " +
           outcome_of(tokens.run);
  }
  if (tokens.run.output != in_place.run.output) {
    return "another output" + where +
           show_difference("in place: ", in_place.run.output, "tokens:   ", tokens.run.output);
  }
  if (tokens.diagnostics != in_place.diagnostics) {
    return "other diagnostics" + where +
           show_difference("in place: ", in_place.diagnostics, "tokens:   ", tokens.diagnostics);
  }
  return "";
}

// A line whose only changes are plainly written names is renamed in place,
// without tokens; every other line goes through tokens, and that way must
// give the same for any line. So with no line renamed in place the output,
// the outcome and the diagnostics are those of `whole`, the run on the
// inputs as written. A later file loads the table otherwise and gives none
// of its diagnostics: the other position on the command line is run too.
std::string check_both_ways(const Captured& whole, uint8_t bits, bool cplusplus) {
  std::string failure = compare_with_tokens(whole, bits, cplusplus);
  if (!failure.empty()) return failure;
  uint8_t other_position = static_cast<uint8_t>(bits ^ BIT_LATER_FILE);
  return compare_with_tokens(run_captured(other_position, cplusplus, 0), other_position, cplusplus);
}

}  // namespace

// The wide check of plain lines agrees with the byte-at-a-time one from every
// line start, for start bytes taken from the text itself.
static std::string check_plain_lines(const char* text, const char* nul) {
  // No start, names beginning with '_', and the ways the text's own words begin.
  NameStarts sets[3] = {{{}, {}, 0}, {{'_'}, {0}, 1}, {{'_'}, {0}, 1}};
  for (const char* c = text; c < nul && sets[2].count < kNameStarts; ++c) {
    if (byte_is(*c, CHAR_IDENTIFIER) && (c == text || !byte_is(c[-1], CHAR_IDENTIFIER))) {
      note_name_start(sets[2], static_cast<unsigned char>(c[0]),
                      byte_is(c[1], CHAR_IDENTIFIER) ? static_cast<unsigned char>(c[1]) : 0);
    }
  }
  for (const char* line = text; line <= nul; ++line) {
    if (line != text && line[-1] != '\n') continue;
    for (const NameStarts& starts : sets) {
      for (bool anywhere : {false, true}) {
        const char* plainly = plain_lines_end_plainly(line, starts, anywhere);
        bool agree = plain_lines_end(line, starts, anywhere) == plainly;
#if defined(__SSE2__)
        agree = agree && plain_lines_end_sse2(line, starts, anywhere) == plainly;
#endif
#if defined(__x86_64__)
        agree = agree && (!has_avx2() || plain_lines_end_avx2(line, starts, anywhere) == plainly);
#endif
        if (!agree) {
          return at_offset("the wide check of plain lines disagrees with the plain one", static_cast<size_t>(line - text));
        }
      }
    }
  }
  return "";
}

std::string check_tokeniser_input(const uint8_t* data, size_t size) {
  static TokeniserRun* runs[4] = {new TokeniserRun(0, false, null_sink()), new TokeniserRun(1, false, null_sink()),
                                  new TokeniserRun(0, true, null_sink()), new TokeniserRun(1, true, null_sink())};

  // A private NUL-terminated copy, so that reading one byte too far is caught.
  char* text = static_cast<char*>(malloc(size + 1));
  if (size) memcpy(text, data, size);
  text[size] = '\0';
  const char* nul = text + strlen(text);

  std::string failure;
  std::vector<Extent> loud, quiet;
  for (TokeniserRun* run : runs) {
    if (!(failure = tokenise(run->p, text, nul, 0, loud)).empty()) break;
    if (!(failure = tokenise(run->p, text, nul, 1, quiet)).empty()) break;
    if (loud.size() != quiet.size()) {
      failure = "quiet gives another number of tokens";
      break;
    }
    for (size_t i = 0; i < loud.size() && failure.empty(); ++i) {
      if (loud[i].kind != quiet[i].kind || loud[i].end != quiet[i].end) {
        failure = at_offset("quiet gives another token", static_cast<size_t>(loud[i].begin - text));
      }
    }
    if (!failure.empty()) break;
  }
  if (failure.empty()) failure = check_plain_lines(text, nul);
  free(text);
  return failure;
}

std::string check_pipeline_input(const uint8_t* data, size_t size) {
  if (size == 0) return "";
  CheckHeapInPlace heap;
  uint8_t bits = data[0];
  std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  size_t split = rest.find('\xff');
  std::string table = split == std::string::npos ? std::string() : rest.substr(0, split);
  std::string source = split == std::string::npos ? rest : rest.substr(split + 1);
  std::string plain_lines = check_plain_lines(source.c_str(), source.c_str() + strlen(source.c_str()));
  if (!plain_lines.empty()) return plain_lines;

  for (bool cplusplus : {false, true}) {
    // Any table, any source: the run ends, honestly, with an output file.
    RunResult run = run_runner(table, source, bits, cplusplus);
    if (!run.has_output) return "no output file (" + mode_name(cplusplus) + ")";
    if (run.heap_kept) return std::to_string(run.heap_kept) + " heap blocks not released (" + mode_name(cplusplus) + ")";
  }

  for (bool cplusplus : {false, true}) {
    std::string failure = check_command_line(table, source, bits, cplusplus);
    if (!failure.empty()) return failure;
    // The tool's own way, lines read whole and plain lines renamed in place:
    // the runs below vary one thing of it each.
    write_inputs(table, source);
    Captured whole = run_captured(bits, cplusplus, 0);
    failure = check_line_parts(whole, bits, cplusplus);
    if (failure.empty()) failure = check_both_ways(whole, bits, cplusplus);
    if (!failure.empty()) return failure;
  }

  bool has_nul = false;
  std::string loaded = as_loaded(source, &has_nul);
  const bool modern = (bits & BIT_MODERN) != 0;
  std::vector<LogicalChar> l = logical_chars(loaded, !modern);
  std::string logical = logical_string(l);
  // A _Pragma operator is carried out: its line is written otherwise.
  if (logical.find("_Pragma") != std::string::npos) return "";
  unsigned pick = static_cast<unsigned>(size) * 31u + bits;
  for (bool cplusplus : {false, true}) {
    Reading reading = read_reference(loaded, l, cplusplus, modern);
    std::string failure = check_identity(source, loaded, has_nul, reading, bits, cplusplus);
    if (!failure.empty()) return failure;
    if (has_nul || reading.unterminated_comment || reading.unterminated_raw_string) continue;
    failure = check_round_trip(source, loaded, l, logical, reading, bits, cplusplus, pick);
    if (!failure.empty()) return failure;
  }
  return "";
}
