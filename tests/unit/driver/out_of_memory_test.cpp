// The heap refusing each request of a run in turn: a C and a C++ source
// whose tables and texts reach every stage (table diagnostics, every kind of
// token, comments, splices, trigraphs, _Pragma, literal checks) and whose
// memory spans several chunks and big pieces. Whichever request is refused,
// the program ends with the out-of-memory message and status 1, gives every
// heap block back, and leaves each output as a beginning of the full one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "support/program_run.h"

namespace {

using support::CountingHeap;
using support::HeapSwap;
using support::Outcome;
using support::read_file;
using support::write_file;

// A redefinition, extra tokens, chains, a cycle, a UCN name, a comment line
// and a last line without a new-line.
const char kTable[] =
    "/* names */\n"
    "old_name new_name\n"
    "x y\n"
    "x z\n"
    "a b extra\n"
    "chain1 chain2\n"
    "chain2 chain3\n"
    "loop1 loop2\n"
    "loop2 loop1\n"
    "\\u00C1x ucn_target\n"
    "spliced joined\n"
    "last_one last_target";

const char kSourceLines[] =
    "/* a block comment\n"
    "   over two lines */\n"
    "// a line comment\n"
    "#include <stdio.h>\n"
    "#define M(p) p ## q # p\n"
    "int old_name = 0x1F + 1.5e+3 + .5 + 07 + 1p-2;\n"
    "char c1 = '\\400', c2 = 'abcd', c3 = '\\q', c4 = '\\x';\n"
    "wchar_t w = L'\\xFFFFF' + L'ab';\n"
    "const char* s = \"str\\n\" L\"wide\" \"\\u0041\" \"unterminated;\n"
    "int spl\\\n"
    "iced = x + spliced;\n"
    "??=define TRI ??( ??) ??< ??> ??! ??' ??- ??/\n"
    "a->b; a.b; a++; a--; a<<=1; a>>=1; a<=b; a>=b; a==b; a!=b; a&&b; a||b;\n"
    "a*=b; a/=b; a%=b; a+=b; a-=b; a&=b; a^=b; a|=b; a##b; f(...); <: :> <% %> %: %:%:\n"
    "x::y; p->*q; p.*q; new int; delete p; a and b or not c; a bitand b xor_eq c;\n"
    "_Pragma(\"pack(1)\") int after = chain1 + loop1 + a;\n"
    "_Pragma\n"
    "(\"once\")\n"
    "\\u00C1x = \\U000000C1x + \\u0661 + \\uD800;\n"
    "__VA_ARGS__ $ @ `\n";

// Enough pairs that the table alone takes more than one chunk.
std::string representative_table(int pairs) {
  std::string text = kTable;
  std::string generated;
  for (int i = 0; i < pairs; ++i) generated += "id_" + std::to_string(i) + " renamed_" + std::to_string(i) + "\n";
  return generated + text;
}

std::string representative_source(int lines) {
  std::string text = kSourceLines;
  for (int i = 0; i < lines; ++i) text += "int id_" + std::to_string(i) + " = x;\n";
  text += kSourceLines;
  text += "last_one";  // no new-line at the end
  return text;
}

bool begins(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

struct OutOfMemoryTest : ::testing::Test {
  std::string dir;
  std::string table;
  std::vector<std::string> sources, outputs;

  OutOfMemoryTest() {
    char pattern[] = "/tmp/morfe_oom_XXXXXX";
    dir = mkdtemp(pattern);
    table = dir + "/table";
  }
  ~OutOfMemoryTest() override {
    for (const std::string& file : sources) unlink(file.c_str());
    for (const std::string& file : outputs) unlink(file.c_str());
    for (const char* file : {"/table", "/out", "/err"}) unlink((dir + file).c_str());
    rmdir(dir.c_str());
  }

  void add_source(const std::string& name, const std::string& text) {
    sources.push_back(dir + "/" + name);
    outputs.push_back(dir + "/" + name.substr(0, name.rfind('.')) + ".ren");
    write_file(sources.back(), text);
  }

  Outcome run() {
    for (const std::string& output : outputs) unlink(output.c_str());
    std::vector<std::string> words = {"-wa", "-r", table, "--"};
    words.insert(words.end(), sources.begin(), sources.end());
    return support::run_captured(dir, words);
  }

  // Runs the sources once with every heap request granted, then again
  // refusing the 1st, 2nd, ... request until a run needs no refused one.
  void refuse_each_request(const std::string& expected_diagnostic) {
    std::vector<std::string> full;
    std::string full_err;
    size_t requests;
    {
      HeapSwap heap(0);
      Outcome outcome = run();
      ASSERT_EQ(outcome.status, 0) << outcome.err.substr(0, 2000);
      requests = CountingHeap::requests;
      ASSERT_EQ(CountingHeap::releases, requests);
      for (const std::string& output : outputs) full.push_back(read_file(output));
      full_err = outcome.err;
    }
    ASSERT_NE(full_err.find(expected_diagnostic), std::string::npos) << full_err.substr(0, 2000);
    ASSERT_NE(full[0].find("#pragma pack(1)"), std::string::npos);
    ASSERT_GT(requests, 8u) << "the run should take several chunks and big pieces";

    const std::string message = "\nfatal error: not enough memory\n";
    for (size_t refuse = 1;; ++refuse) {
      SCOPED_TRACE("heap request " + std::to_string(refuse) + " refused");
      HeapSwap heap(refuse);
      Outcome outcome = run();
      if (CountingHeap::requests < refuse) {
        // Every request was granted: the run is the full one.
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(CountingHeap::releases, CountingHeap::requests);
        for (size_t i = 0; i < outputs.size(); ++i) EXPECT_EQ(read_file(outputs[i]), full[i]) << outputs[i];
        EXPECT_EQ(refuse, requests + 1);
        break;
      }
      ASSERT_LE(refuse, requests) << "a run took more requests than the full run";
      EXPECT_EQ(outcome.status, 1);
      // The refused request is the last one: nothing runs after the refusal.
      EXPECT_EQ(CountingHeap::requests, refuse);
      EXPECT_EQ(CountingHeap::releases, CountingHeap::requests - 1) << "heap blocks not given back";
      ASSERT_GE(outcome.err.size(), message.size());
      EXPECT_EQ(outcome.err.substr(outcome.err.size() - message.size()), message);
      EXPECT_EQ(outcome.err.find(message), outcome.err.size() - message.size()) << "message given twice";
      // What comes before it is a beginning of the full run's diagnostics.
      EXPECT_TRUE(begins(full_err, outcome.err.substr(0, outcome.err.size() - message.size())));
      // Each output is a beginning of its full output, and every output
      // before it is complete: no source after the refusal is started.
      bool cut = false;
      for (size_t i = 0; i < outputs.size(); ++i) {
        if (!support::exists(outputs[i])) {
          cut = true;
          continue;
        }
        EXPECT_FALSE(cut) << outputs[i] << " written after an earlier source was cut short";
        std::string text = read_file(outputs[i]);
        EXPECT_TRUE(begins(full[i], text)) << outputs[i] << " is not a beginning of the full output";
        if (text != full[i]) cut = true;
      }
      if (HasFailure()) break;
    }
  }
};

// A table with diagnostics for every file (a redefinition): each source
// loads the table itself.
TEST_F(OutOfMemoryTest, EveryRefusedRequestEndsTheProgramCleanly) {
  write_file(table, representative_table(20000));
  // Large enough to be read into a big piece of its own.
  add_source("a.c", representative_source(40000));
  add_source("b.cpp", representative_source(30000));
  refuse_each_request("redefinition with nonidentical replacement list");
}

// A table that later files take from the run's snapshot, made and then
// reused, in both languages.
TEST_F(OutOfMemoryTest, RefusedRequestsAroundTheTableSnapshot) {
  write_file(table, representative_table(20000).substr(0, representative_table(20000).find("/* names */")) +
                        "chain1 chain2\nchain2 chain3\nloop1 loop2\nloop2 loop1\n");
  add_source("a.c", representative_source(1000));
  add_source("b.c", representative_source(1000));
  add_source("c.c", representative_source(1000));
  add_source("d.cpp", representative_source(1000));
  add_source("e.cpp", representative_source(1000));
  refuse_each_request("nonempty last line");
}

}  // namespace
