#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "harness.h"

namespace {

using fake::Call;

std::uint32_t status_to_check = 0;

void CheckOnce() {
  textio::PendingIoStatus = status_to_check;
  failstop::CheckIoStatus();
}

void StopWith239() { failstop::FailureStop(239); }

std::string Line(const char* text) {
  return std::string(text, 29) + std::string("\0\r\n", 3);
}

TEST(CheckIoStatus, StatusBecomesCodeAndExitStatus) {
  struct Case {
    std::uint32_t status;
    const char* code_field;
    std::int32_t exit_status;
  } cases[] = {
      {2, "Runtime error   2 at ", 2},
      {44, "Runtime error  44 at ", 44},
      {106, "Runtime error 106 at ", 106},
      {300, "Runtime error  44 at ", 44},
      {0x12345605, "Runtime error   5 at ", 5},
      // No low bits left would pass for success; such a stop says 255.
      {512, "Runtime error 255 at ", 255},
      {0x80000000, "Runtime error 255 at ", 255},
      {255, "Runtime error 255 at ", 255},
  };
  for (const auto& c : cases) {
    harness::ResetProcess();
    status_to_check = c.status;
    fake::ProcessEnd end = fake::RunProcess(CheckOnce);
    ASSERT_TRUE(end.ended) << c.status;
    EXPECT_EQ(end.status, c.exit_status) << c.status;
    const std::string& out = fake::StandardOutputBytes();
    ASSERT_EQ(out.size(), 32u) << c.status;
    EXPECT_EQ(out.substr(0, 21), c.code_field) << c.status;
    harness::Report r = harness::ParseReport(out);
    EXPECT_TRUE(r.well_formed) << c.status;
    EXPECT_NE(r.site, 0u);
    EXPECT_EQ(failstop::FailureSite, 0u) << "cleared once reported";
  }
}

TEST(CheckIoStatus, ReturnsWithoutEffectWhileNothingFailed) {
  harness::ResetProcess();
  status_to_check = 0;
  fake::ProcessEnd end = fake::RunProcess(CheckOnce);
  EXPECT_FALSE(end.ended);
  EXPECT_TRUE(fake::Calls().empty());
  EXPECT_EQ(failstop::FailureSite, 0u);
  EXPECT_EQ(failstop::ProcessExitStatus, 0);
}

TEST(FailureStop, ReportsInTwoWritesWithTheZeroByte) {
  harness::ResetProcess();
  fake::ProcessEnd end = fake::RunProcess(StopWith239);
  EXPECT_EQ(end.status, 239);
  harness::Report r = harness::ParseReport(fake::StandardOutputBytes());
  ASSERT_TRUE(r.well_formed);
  EXPECT_EQ(r.code, 239);
  EXPECT_EQ(fake::CountCalls(Call::StandardOutput), 2);
  char expected[30];
  std::snprintf(expected, sizeof expected, "Runtime error 239 at %08X", r.site);
  EXPECT_EQ(fake::StandardOutputBytes(), Line(expected));
}

TEST(FailureStop, DistinctCallSitesReportDistinctSites) {
  auto site_of = [](void (*body)()) {
    harness::ResetProcess();
    fake::RunProcess(body);
    return harness::ParseReport(fake::StandardOutputBytes()).site;
  };
  void (*first)() = [] { failstop::FailureStop(239); };
  void (*second)() = [] { failstop::FailureStop(239); };
  std::uint32_t a = site_of(first);
  EXPECT_NE(a, site_of(second));
  EXPECT_EQ(a, site_of(first));
}

// What the stop does with the output file, given what the run had written.
void StopAfterBufferedAnswer() {
  textio::BindStream(textio::StandardOutput, "out");
  textio::OpenForWriting(textio::StandardOutput);
  textio::WriteInteger(textio::StandardOutput, 11);
  textio::WriteLineEnd(textio::StandardOutput);
  failstop::FailureStop(239);
}

TEST(EndProgram, PendingAnswerReachesTheFileBeforeTheReport) {
  harness::ResetProcess();
  fake::ProcessEnd end = fake::RunProcess(StopAfterBufferedAnswer);
  EXPECT_EQ(end.status, 239);
  EXPECT_EQ(fake::FileContents("out"), "11\r\n");
  EXPECT_FALSE(fake::FileIsOpen("out"));
  // The write-out precedes both report writes.
  const auto& calls = fake::Calls();
  std::size_t none = calls.size(), write = none, report = none;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].call == Call::Write && write == none) write = i;
    if (calls[i].call == Call::StandardOutput && report == none) report = i;
  }
  EXPECT_LT(write, report);
}

TEST(EndProgram, FailuresOnTheWayOutChangeNothing) {
  struct Case {
    const char* what;
    void (*plan)();
    const char* file_after;
    bool report_written;
  } cases[] = {
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
    EXPECT_EQ(fake::CountCalls(Call::Write), 1) << c.what;
  }
}

TEST(EndProgram, NormalEndReportsNothingAndExitsZero) {
  harness::ResetProcess();
  fake::ProcessEnd end = fake::RunProcess([] { failstop::EndProgram(); });
  EXPECT_TRUE(end.ended);
  EXPECT_EQ(end.status, 0);
  EXPECT_TRUE(fake::Calls().empty());
}

}  // namespace
