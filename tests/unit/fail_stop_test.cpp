#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "harness.h"
#include "rows.h"

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
struct StopCase {
  const char* name;
  void (*plan)();
  const char* file_after;
  bool report_written;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class EndProgram : public testing::TestWithParam<StopCase> {};

TEST_P(EndProgram, PendingAnswerThenReport) {
  const StopCase& c = GetParam();
  harness::ResetProcess();
  c.plan();
  fake::ProcessEnd end = fake::RunProcess(StopAfterBufferedAnswer);
  EXPECT_EQ(end.status, 239);
  EXPECT_EQ(fake::FileContents("out"), c.file_after);
  EXPECT_FALSE(fake::FileIsOpen("out"));
  EXPECT_EQ(fake::StandardOutputBytes().size(), c.report_written ? 32u : 0u);
  const auto& calls = fake::Calls();
  auto first = [&](Call call) {
    return std::find_if(calls.begin(), calls.end(),
                        [&](const auto& c) { return c.call == call; });
  };
  EXPECT_LT(first(Call::Write), first(Call::StandardOutput));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Stop, EndProgram, testing::Values(
  StopCase{"NothingFails",                   [] {},                                          "11\r\n", true},
  StopCase{"WriteOfTheAnswerFails",          [] { fake::FailCall(Call::Write, 28, "out"); }, "",       true},
  StopCase{"CloseOfTheOutputFails",          [] { fake::FailCall(Call::Close, 5, "out"); },  "11\r\n", true},
  StopCase{"StandardOutputRefusesTheReport", [] { fake::FailCall(Call::StandardOutput, 9); }, "11\r\n", false}),
  rows::ByName());
// clang-format on

}  // namespace
