// Reading sources whole, resolving their names, and the source stack.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "diag/diagnostics.h"
#include "source/logical_line.h"
#include "source/source_stack.h"
#include "source/token_list.h"
#include "support/run_fixture.h"

namespace {

// A fresh directory that is the current directory while the object lives.
struct ScratchDirectory {
  std::string path;
  std::string previous;

  ScratchDirectory() {
    char here[PATH_MAX];
    previous = getcwd(here, sizeof here) ? here : "/";
    char pattern[] = "/tmp/morfe_source_XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    EXPECT_EQ(chdir(pattern), 0);
    // The working directory as the system spells it (symbolic links resolved).
    path = getcwd(here, sizeof here) ? here : pattern;
  }
  ~ScratchDirectory() {
    if (chdir(previous.c_str()) != 0) return;
    std::string command = "rm -rf '" + path + "'";
    if (system(command.c_str()) != 0) ADD_FAILURE() << "cannot remove " << path;
  }

  void write(const std::string& name, const std::string& bytes) const {
    FILE* file = fopen((path + "/" + name).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    fclose(file);
  }
  void make_directory(const std::string& name) const { ASSERT_EQ(mkdir((path + "/" + name).c_str(), 0755), 0); }
};

struct ReadResult {
  int found;
  LoadedText text;
  int error;
};

ReadResult read_file(RunFixture& run, const std::string& path) {
  ReadResult result{-1, {nullptr, 12345}, -1};
  result.found = read_whole_file(path.c_str(), &result.text, &result.error, run.pool);
  return result;
}

TEST(ReadWholeFile, DeliversTheFileAsItIs) {
  ScratchDirectory dir;
  struct Case {
    const char* bytes;
    size_t size;
    const char* text;
    size_t length;
  };
  const Case cases[] = {
      {"", 0, "", 0},  // an empty file is an empty text, not a failure
      {"int a;\n", 7, "int a;\n", 7},
      {"a\r\nb\r\n", 6, "a\r\nb\r\n", 6},  // line ends as written
      {"a\rb\r", 4, "a\rb\r", 4},
      {"a\r\r\nb", 5, "a\r\r\nb", 5},
      {"no new-line at end", 18, "no new-line at end", 18},
      {"a\0b\n", 4, "a", 4},                 // the length counts what was delivered
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.bytes, c.size));
    RunFixture run;
    dir.write("f.c", std::string(c.bytes, c.size));
    ReadResult read = read_file(run, dir.path + "/f.c");
    EXPECT_EQ(read.found, 1);
    ASSERT_NE(read.text.text, nullptr);
    EXPECT_STREQ(read.text.text, c.text);
    EXPECT_EQ(read.text.length, c.length);
    EXPECT_EQ(read.text.text[read.text.length], '\0');
  }
}

TEST(ReadWholeFile, TellsAMissingFileFromOneThatCannotBeRead) {
  ScratchDirectory dir;
  dir.write("plain.c", "x\n");
  dir.make_directory("sub");
  struct Case {
    std::string path;
    int found;
    int error;
  };
  const Case cases[] = {
      {dir.path + "/absent.c", 0, FILE_ERROR_NOT_FOUND},
      {dir.path + "/no_such_dir/absent.c", 0, FILE_ERROR_NOT_FOUND},
      // A regular file used as a directory: the file asked for does not exist either.
      {dir.path + "/plain.c/absent.c", 0, FILE_ERROR_NOT_FOUND},
      {dir.path + "/sub", 1, FILE_ERROR_PERMISSION},
      {dir.path + "/" + std::string(5000, 'n'), 1, FILE_ERROR_INVALID_NAME},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.substr(0, 80));
    RunFixture run;
    ReadResult read = read_file(run, c.path);
    EXPECT_EQ(read.found, c.found);
    EXPECT_EQ(read.text.text, nullptr);
    EXPECT_EQ(read.error, c.error);
  }
}

TEST(ReadWholeFile, AFileWithoutReadPermissionIsNotMissing) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  ScratchDirectory dir;
  dir.write("locked.c", "x\n");
  ASSERT_EQ(chmod((dir.path + "/locked.c").c_str(), 0), 0);
  RunFixture run;
  ReadResult read = read_file(run, dir.path + "/locked.c");
  EXPECT_EQ(read.found, 1);
  EXPECT_EQ(read.text.text, nullptr);
  EXPECT_EQ(read.error, FILE_ERROR_PERMISSION);
}

TEST(LocateAndLoad, RecordsTheAbsolutePathOfARelativeName) {
  ScratchDirectory dir;
  dir.make_directory("sub");
  dir.write("sub/x.c", "int x;\n");
  const std::string absolute = dir.path + "/sub/x.c";
  const std::string names[] = {"sub/x.c", "./sub/x.c", "sub/../sub/x.c", "sub//x.c", absolute};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    RunFixture run;
    LoadedText text{nullptr, 0};
    EXPECT_EQ(locate_and_load(&run.settings, name.c_str(), ".", &text), 1);
    ASSERT_NE(text.text, nullptr);
    EXPECT_STREQ(text.text, "int x;\n");
    EXPECT_EQ(text.length, 7u);
    EXPECT_STREQ(run.settings.full_path, absolute.c_str());
  }
}

TEST(LocateAndLoad, EntersTheLoadedFileAndItsOpenName) {
  ScratchDirectory dir;
  dir.write("x.c", "int x;\n");
  RunFixture run;
  LoadedText text{nullptr, 0};
  ASSERT_EQ(locate_and_load(&run.settings, "x.c", ".", &text), 1);
  const std::string absolute = dir.path + "/x.c";

  const LoadedFile* loaded = run.settings.loaded_files;
  ASSERT_NE(loaded, nullptr);
  EXPECT_STREQ(loaded->path, absolute.c_str());
  EXPECT_NE(loaded->path, run.settings.full_path);  // a copy of its own
  EXPECT_EQ(loaded->text, text.text);
  EXPECT_EQ(loaded->once, 0);
  EXPECT_EQ(loaded->next, nullptr);

  const OpenName* open = run.settings.open_names;
  ASSERT_NE(open, nullptr);
  EXPECT_STREQ(open->name, absolute.c_str());
  EXPECT_NE(open->name, run.settings.full_path);
  EXPECT_NE(open->name, loaded->path);
  EXPECT_EQ(open->below, nullptr);

  pop_open_name(&run.settings);
  EXPECT_EQ(run.settings.open_names, nullptr);
  EXPECT_EQ(run.settings.loaded_files, loaded);  // the text stays loaded
  pop_open_name(&run.settings);                  // nothing left to pop
  EXPECT_EQ(run.settings.open_names, nullptr);
}

TEST(LocateAndLoad, AFailedLoadEntersNothing) {
  ScratchDirectory dir;
  dir.make_directory("sub");
  struct Case {
    const char* name;
    int found;
    int error;
  };
  const Case cases[] = {{"absent.c", 0, FILE_ERROR_NOT_FOUND}, {"sub", 1, FILE_ERROR_PERMISSION}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunFixture run;
    LoadedText text{reinterpret_cast<char*>(&run), 99};
    EXPECT_EQ(locate_and_load(&run.settings, c.name, ".", &text), c.found);
    EXPECT_EQ(text.text, nullptr);
    EXPECT_STREQ(run.settings.full_path, (dir.path + "/" + c.name).c_str());
    EXPECT_EQ(run.settings.io_error, c.error);
    EXPECT_EQ(run.settings.loaded_files, nullptr);
    EXPECT_EQ(run.settings.open_names, nullptr);
  }
}

// The source loop's opening: load by the typed name, push under the absolute path.
std::string load_and_push(RunFixture& run, const char* name) {
  LoadedText text{nullptr, 0};
  locate_and_load(&run.settings, name, ".", &text);
  try {
    push_source(run.p, text, name, run.settings.full_path);
  } catch (const FatalError&) {
    EXPECT_EQ(run.p->report.failed, 1);
    EXPECT_EQ(run.p->source_top, nullptr);
    return run.diagnostics();
  }
  ADD_FAILURE() << "push_source returned with no text";
  return std::string();
}

TEST(PushSource, ALoadFailureIsFatalAndNamesTheSourceAsTyped) {
  ScratchDirectory dir;
  dir.make_directory("sub");
  struct Case {
    std::string name;
    const char* reason;
  };
  const Case cases[] = {
      {"x", "file not found"},
      {"no_dir/x.c", "file not found"},
      {"sub", "permission denied"},
      {std::string(5000, 'n'), "invalid file name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 80));
    RunFixture run;
    EXPECT_EQ(load_and_push(run, c.name.c_str()),
              "command line fatal error: cannot load source file \"" + c.name + "\"; " + c.reason + "\n");
  }
}

TEST(PushSource, AnEmptyFileIsAnEmptySourceWithoutDiagnostics) {
  ScratchDirectory dir;
  dir.write("empty.c", "");
  Options options = default_options();
  options.wall = 1;
  RunFixture run(0, options);
  LoadedText text{nullptr, 0};
  ASSERT_EQ(locate_and_load(&run.settings, "empty.c", ".", &text), 1);
  push_source(run.p, text, "empty.c", run.settings.full_path);
  EXPECT_EQ(read_logical_line(run.p, Report::ON), nullptr);
  EXPECT_EQ(run.diagnostics(), "");
  EXPECT_EQ(run.p->report.failed, 0);
}

TEST(PushSource, DiagnosticsNameTheAbsolutePathAndCountCrLfAsOneLine) {
  ScratchDirectory dir;
  dir.write("crlf.c", "a\r\nb\r\n\r\nc\r\n");
  Options options = default_options();
  RunFixture run(0, options);
  LoadedText text{nullptr, 0};
  ASSERT_EQ(locate_and_load(&run.settings, "crlf.c", ".", &text), 1);
  push_source(run.p, text, "crlf.c", run.settings.full_path);
  std::string seen;
  while (Token* line = read_logical_line(run.p, Report::ON)) {
    char* spelled = spell_token_list(run.p, line, WhiteSpace::AS_WRITTEN, Separation::KEEP_APART);
    diag_error(&run.p->report, "%s", spelled);
    pool_free(spelled);
    free_token_list(line);
    count_frame_lines(run.p->source_top);
  }
  const std::string prefix = "\"" + dir.path + "/crlf.c\" ";
  EXPECT_EQ(run.diagnostics(),
            prefix + "(1) error: a\r\n\n" + prefix + "(2) error: b\r\n\r\n\n" + prefix + "(4) error: c\r\n\n");
  EXPECT_EQ(run.p->source_top->where->line, 5u);
}

TEST(PushSource, StacksFramesAndPopsThemBack) {
  RunFixture run;
  char display[] = "first.tbl";
  const char* first_text = run.push_text("first\n", display);
  display[0] = 'X';  // the frame keeps its own copy of the name
  SourceFrame* first = run.p->source_top;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->text, first_text);
  EXPECT_EQ(first->pos, first_text);
  EXPECT_EQ(first->counted, first_text);
  EXPECT_EQ(first->below, nullptr);
  EXPECT_STREQ(first->where->name, "first.tbl");
  EXPECT_EQ(first->where->line, 1u);

  run.push_text("second\n", "/abs/second.c");
  SourceFrame* second = run.p->source_top;
  EXPECT_EQ(second->below, first);
  diag_error(&run.p->report, "on top");
  pop_source(run.p);
  EXPECT_EQ(run.p->source_top, first);
  diag_error(&run.p->report, "below");
  pop_source(run.p);
  EXPECT_EQ(run.p->source_top, nullptr);
  diag_error(&run.p->report, "none");
  EXPECT_EQ(run.diagnostics(),
            "\"/abs/second.c\" (1) error: on top\n"
            "\"first.tbl\" (1) error: below\n"
            "command line error: none\n");
}

TEST(CountFrameLines, CountsEveryLineFeedUpToThePosition) {
  RunFixture run;
  const char* text = run.push_text("a\n/* one\ntwo */ b\\\nc\n\n\nd");
  SourceFrame* frame = run.p->source_top;
  struct Step {
    size_t pos;  // where the reader stands
    int counted;
    unsigned long line;
  };
  const Step steps[] = {
      {0, 0, 1},   // nothing read yet
      {2, 1, 2},   // after "a\n"
      {2, 0, 2},   // counting again adds nothing
      {23, 5, 7},  // a comment, a splice and three line feeds in one logical line
      {24, 0, 7},  // the last line has no line feed
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.pos);
    frame->pos = text + step.pos;
    EXPECT_EQ(count_frame_lines(frame), step.counted);
    EXPECT_EQ(frame->where->line, step.line);
    EXPECT_EQ(frame->counted, frame->pos);
  }
}

}  // namespace
