#include <gtest/gtest.h>

#include "diag/diagnostics.h"
#include "support/run_fixture.h"

TEST(RunFixture, CapturesDiagnosticsWithTheSourceLocation) {
  RunFixture run;
  diag_error(&run.p->report, "before any source");
  run.push_text("int x;\n", "/abs/a.c");
  diag_error(&run.p->report, "in %s", "the source");
  EXPECT_EQ(run.diagnostics(),
            "command line error: before any source\n"
            "\"/abs/a.c\" (1) error: in the source\n");
  EXPECT_EQ(run.p->report.failed, 1);
}
