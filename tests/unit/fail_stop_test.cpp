#include <gtest/gtest.h>

#include <string>

#include "harness.h"

namespace {

using fake::Call;

// What the stop does with the output file, given what the run had written.
void StopAfterBufferedAnswer() {
  textio::BindStream(textio::OutputFile, "out");
  textio::OpenForWriting(textio::OutputFile);
  textio::WriteInteger(textio::OutputFile, 11);
  textio::WriteLineEnd(textio::OutputFile);
  failstop::FailureStop(239, KORVANDA_STOP_SITE(after_answer));
}

// The pending answer reaches the file before the report is written, and
// failures on the way out change nothing else.
TEST(EndProgram, PendingAnswerThenReport) {
  struct Case {
    const char* what;
    void (*plan)();
    const char* file_after;
    bool report_written;
  } cases[] = {
      {"nothing fails", [] {}, "11\r\n", true},
      {"write-out of the answer fails",
       [] { fake::FailCall(Call::Write, 28, "out"); }, "", true},
      {"close of the output fails",
       [] { fake::FailCall(Call::Close, 5, "out"); }, "11\r\n", true},
      {"standard output refuses the report",
       [] {
         fake::FailCall(Call::StandardOutput, 9, "", 1);
         fake::FailCall(Call::StandardOutput, 9, "", 2);
       },
       "11\r\n", false},
  };
  for (const Case& c : cases) {
    harness::ResetProcess();
    c.plan();
    fake::ProcessEnd end = fake::RunProcess(StopAfterBufferedAnswer);
    EXPECT_EQ(end.status, 239) << c.what;
    EXPECT_EQ(fake::FileContents("out"), c.file_after) << c.what;
    EXPECT_FALSE(fake::FileIsOpen("out")) << c.what;
    EXPECT_EQ(fake::StandardOutputBytes().size(), c.report_written ? 32u : 0u)
        << c.what;
    const auto& calls = fake::Calls();
    auto first = [&](Call call) {
      std::size_t i = 0;
      while (i < calls.size() && calls[i].call != call) ++i;
      return i;
    };
    EXPECT_LT(first(Call::Write), first(Call::StandardOutput)) << c.what;
  }
}

}  // namespace
