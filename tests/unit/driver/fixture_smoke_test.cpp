#include <gtest/gtest.h>

#include "diag/diagnostics.h"
#include "support/run_fixture.h"

TEST(RunFixture, CapturesDiagnosticsWithTheSourceLocation) {
  RunFixture run;
  diag_error(run.p, "before any source");
  run.push_text("int x;\n", "/abs/a.c");
  diag_error(run.p, "in %s", "the source");
  EXPECT_EQ(run.diagnostics(),
            "command line error: before any source\n"
            "\"/abs/a.c\" (1) error: in the source\n");
  EXPECT_EQ(run.p->failed, 1);
}
