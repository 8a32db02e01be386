#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/file_runner.h"
#include "driver/options.h"
#include "driver/source_list.h"

namespace {

struct MatchCase {
  std::vector<std::string> words;  // the option word and what follows it
  int id;
  const char* argument;  // null: the option takes none
  int advance;           // words the cursor moves past the option word
};

const MatchCase kMatchCases[] = {
    {{"-ofile"}, OPT_OUTPUT, "file", 0},
    {{"-o", "file"}, OPT_OUTPUT, "file", 1},
    {{"-o"}, OPT_OUTPUT, "", 0},
    {{"-output", "x"}, OPT_OUTPUT, "x", 1},
    {{"-outputx"}, OPT_OUTPUT, "x", 0},  // the longer name wins over "o"
    {{"-os", "a.c"}, OPT_OSTDOUT, nullptr, 0},
    {{"-ostd"}, OPT_OUTPUT, "std", 0},
    {{"-ostdout"}, OPT_OSTDOUT, nullptr, 0},
    {{"-wa"}, OPT_WALL, nullptr, 0},
    {{"-w"}, OPT_WDISABLE, nullptr, 0},
    {{"-wxs"}, OPT_WNOSAFE, nullptr, 0},
    {{"-wx"}, OPT_NONE, nullptr, 0},
    {{"-we"}, OPT_WERRORS, nullptr, 0},
    {{"-wp"}, OPT_WPORT, nullptr, 0},
    {{"-h"}, OPT_HELP, nullptr, 0},
    {{"-help"}, OPT_HELP, nullptr, 0},
    {{"/?"}, OPT_HELP, nullptr, 0},
    {{"-helpme"}, OPT_NONE, nullptr, 0},
    {{"-H"}, OPT_NONE, nullptr, 0},
    {{"-q"}, OPT_QUIET, nullptr, 0},
    {{"-quiet"}, OPT_QUIET, nullptr, 0},
    {{"-qu"}, OPT_NONE, nullptr, 0},
    {{"-reptable=x"}, OPT_REPTABLE, "=x", 0},
    {{"-reptable", "t"}, OPT_REPTABLE, "t", 1},
    {{"-reptable"}, OPT_REPTABLE, "", 0},
    {{"-rt"}, OPT_REPTABLE, "t", 0},
    {{"-r", "-q"}, OPT_REPTABLE, "-q", 1},  // the next word, whatever it begins with
    {{"-r", ""}, OPT_REPTABLE, "", 1},
    {{"/r", "t"}, OPT_REPTABLE, "t", 1},
    {{"-"}, OPT_NONE, nullptr, 0},
    {{"/"}, OPT_NONE, nullptr, 0},
    {{"--", "x"}, OPT_SOURCE, nullptr, 0},
    {{"---"}, OPT_NONE, nullptr, 0},
    {{"-source"}, OPT_SOURCE, nullptr, 0},
    {{"-t"}, OPT_TDISABLE, nullptr, 0},
    {{"-tdisable"}, OPT_TDISABLE, nullptr, 0},
    {{"-lu"}, OPT_LUCHAR, nullptr, 0},
    {{"-luchar"}, OPT_LUCHAR, nullptr, 0},
    {{"-lc"}, OPT_LC, nullptr, 0},
    {{"/lc"}, OPT_LC, nullptr, 0},
    {{"-l"}, OPT_NONE, nullptr, 0},
    {{"-lp"}, OPT_LPLUS, nullptr, 0},
    {{"-i"}, OPT_INPLACE, nullptr, 0},
    {{"-inplace"}, OPT_INPLACE, nullptr, 0},
    {{"-in"}, OPT_NONE, nullptr, 0},
    {{"-j4"}, OPT_JOBS, "4", 0},
    {{"-j", "0"}, OPT_JOBS, "0", 1},
    {{"-jobs", "2"}, OPT_JOBS, "2", 1},
    {{"-jobs3"}, OPT_JOBS, "3", 0},
    {{"-jo"}, OPT_JOBS, "o", 0},
    {{"-lplus"}, OPT_LPLUS, nullptr, 0},
    {{"-lx"}, OPT_LMODERN, nullptr, 0},
    {{"-lmodern"}, OPT_LMODERN, nullptr, 0},
    {{"-lxx"}, OPT_NONE, nullptr, 0},
    {{"-c"}, OPT_CHECK, nullptr, 0},
    {{"-check"}, OPT_CHECK, nullptr, 0},
    {{"-checks"}, OPT_NONE, nullptr, 0},
    {{"/d"}, OPT_DIFF, nullptr, 0},
    {{"-diff"}, OPT_DIFF, nullptr, 0},
    {{"-s"}, OPT_SUMMARY, nullptr, 0},
    {{"-summary"}, OPT_SUMMARY, nullptr, 0},
    {{"-so"}, OPT_NONE, nullptr, 0},
    {{"--help"}, OPT_HELP, nullptr, 0},
    {{"--h"}, OPT_NONE, nullptr, 0},
    {{"-v"}, OPT_VERSION, nullptr, 0},
    {{"-version"}, OPT_VERSION, nullptr, 0},
    {{"--version"}, OPT_VERSION, nullptr, 0},
    {{"--", "-v"}, OPT_SOURCE, nullptr, 0},
};

TEST(MatchOption, Table) {
  for (const MatchCase& c : kMatchCases) {
    std::string trace;
    for (const std::string& word : c.words) trace += "[" + word + "]";
    SCOPED_TRACE(trace);
    std::vector<std::string> storage = c.words;
    std::vector<char*> argv;
    for (std::string& word : storage) argv.push_back(&word[0]);
    argv.push_back(nullptr);

    char** cursor = argv.data();
    const char* argument = "untouched";
    int id = match_option(cursor, &argument);
    EXPECT_EQ(id, c.id);
    if (id == OPT_NONE) continue;
    EXPECT_EQ(cursor - argv.data(), c.advance);
    if (c.argument) {
      ASSERT_NE(argument, nullptr);
      EXPECT_STREQ(argument, c.argument);
    }
  }
}

struct NamingCase {
  const char* source;
  const char* output;
  bool cplusplus;
};

const NamingCase kNamingCases[] = {
    {"a.c", "a.ren", false},
    {"a.cpp", "a.ren", true},
    {"dir/b.CPP", "dir/b.ren", false},
    {"c", "c.ren", false},
    {"x.y.c", "x.y.ren", false},
    {"dir.d/file", "dir.d/file.ren", false},
    {".c", ".ren", false},
    {"a.cc", "a.ren", false},
    {"a.cpp.c", "a.cpp.ren", false},
    {"d.cpp/x", "d.cpp/x.ren", false},
    {"/abs/p.cpp", "/abs/p.ren", true},
    {"a.ren", "a.ren", false},
};

TEST(OutputNaming, DefaultNameAndLanguage) {
  const Options options = default_options();
  for (const NamingCase& c : kNamingCases) {
    SCOPED_TRACE(c.source);
    EXPECT_EQ(default_output_name(c.source), c.output);
    EXPECT_EQ(is_cplusplus_source(c.source, &options), c.cplusplus);
  }
}

TEST(OutputNaming, LanguageOptionsOverrideTheExtension) {
  Options c_only = default_options();
  c_only.lc = 1;
  Options cplusplus_only = default_options();
  cplusplus_only.lplus = 1;
  for (const NamingCase& c : kNamingCases) {
    SCOPED_TRACE(c.source);
    EXPECT_FALSE(is_cplusplus_source(c.source, &c_only));
    EXPECT_TRUE(is_cplusplus_source(c.source, &cplusplus_only));
  }
}

// With -lx the extensions that C++ sources go by today are C++ as well;
// without it only ".cpp" is, and -lc or -lp decide over both.
TEST(OutputNaming, ModernModeKnowsTheCplusplusExtensions) {
  Options modern = default_options();
  modern.lmodern = 1;
  Options modern_c = modern;
  modern_c.lc = 1;
  const Options plain = default_options();
  for (const char* name : {"a.cpp", "a.cc", "d/a.cxx", "a.c++", "a.C", "a.hpp", "a.hh", "a.hxx", "a.h++", "a.ipp",
                           "a.tpp", "a.inl", "a.tcc", "a.ixx", "a.cppm"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(is_cplusplus_source(name, &modern));
    EXPECT_FALSE(is_cplusplus_source(name, &modern_c));
    EXPECT_EQ(is_cplusplus_source(name, &plain), std::string(name) == "a.cpp");
  }
  for (const char* name : {"a.h", "a.c", "a.CPP", "a.cppx", "cc", "a.cc/b", "a.H"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(is_cplusplus_source(name, &modern));
  }
}

TEST(ParseJobs, WholeNumbersFromZeroTo1024) {
  struct Case {
    const char* text;
    bool valid;
    unsigned jobs;
  };
  const Case cases[] = {{"0", true, 0},    {"1", true, 1},       {"0007", true, 7},   {"1024", true, 1024},
                        {"1025", false, 0}, {"", false, 0},      {"-1", false, 0},    {"+2", false, 0},
                        {"2x", false, 0},   {" 2", false, 0},    {"99999999999999999999", false, 0}};
  for (const Case& c : cases) {
    unsigned jobs = 77;
    EXPECT_EQ(parse_jobs(c.text, &jobs), c.valid) << c.text;
    EXPECT_EQ(jobs, c.valid ? c.jobs : 77u) << c.text;
  }
}

TEST(SourceExtension, TheExtensionsOfCAndCpp) {
  const char* sources[] = {"a.c", "a.h", "a.cpp", "a.cc", "a.cxx", "a.c++", "a.C", "a.hpp", "a.hh",
                           "a.hxx", "a.h++", "a.ipp", "a.tpp", "a.inl", "a.tcc", "a.ixx", "a.cppm", "x.y.c"};
  const char* others[] = {"a", "a.H", "a.cp", "a.c.orig", "a.txt", "c", "a.CPP", "a.hpp~", "a.c.morfe-x1y2z3"};
  for (const char* name : sources) EXPECT_TRUE(has_source_extension(name)) << name;
  for (const char* name : others) EXPECT_FALSE(has_source_extension(name)) << name;
}

}  // namespace
