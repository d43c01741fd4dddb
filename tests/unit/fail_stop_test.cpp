#include <gtest/gtest.h>

#include <string>

#include "harness.h"

namespace {

using fake::Call;

std::uint32_t status_to_check = 0;

// A place 0x1234 bytes into the image reports 00401234.
[[noreturn]] void Place(std::int32_t code) {
  failstop::StopAt(
      code,
      reinterpret_cast<failstop::StopSite>(
          reinterpret_cast<std::uintptr_t>(platform::ImageStart()) + 0x1234));
}

void CheckOnce() {
  textio::PendingIoStatus = status_to_check;
  failstop::CheckIoStatus(Place);
}

void StopWith239() { failstop::FailureStop(239, Place); }

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
    EXPECT_EQ(out, Line((c.code_field + std::string("00401234")).c_str()))
        << c.status;
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

// The line and its CR LF go out in two writes: either can fail alone.
TEST(FailureStop, ReportsTheLineWithItsZeroByteThenTheLineEnd) {
  struct Case {
    int failing_write;  // 0 for none
    std::string written;
  } cases[] = {
      {0, Line("Runtime error 239 at 00401234")},
      {1, "\r\n"},
      {2, std::string("Runtime error 239 at 00401234", 29) + '\0'},
  };
  for (const Case& c : cases) {
    harness::ResetProcess();
    if (c.failing_write != 0) {
      fake::FailCall(Call::StandardOutput, 9, "", c.failing_write);
    }
    fake::ProcessEnd end = fake::RunProcess(StopWith239);
    EXPECT_EQ(end.status, 239) << c.failing_write;
    EXPECT_EQ(fake::StandardOutputBytes(), c.written) << c.failing_write;
  }
}

// What the stop does with the output file, given what the run had written.
void StopAfterBufferedAnswer() {
  textio::BindStream(textio::OutputFile, "out");
  textio::OpenForWriting(textio::OutputFile);
  textio::WriteInteger(textio::OutputFile, 11);
  textio::WriteLineEnd(textio::OutputFile);
  failstop::FailureStop(239, Place);
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

TEST(EndProgram, NormalEndReportsNothingAndExitsZero) {
  harness::ResetProcess();
  fake::ProcessEnd end = fake::RunProcess([] { failstop::EndProgram(); });
  EXPECT_TRUE(end.ended);
  EXPECT_EQ(end.status, 0);
  EXPECT_TRUE(fake::Calls().empty());
}

}  // namespace
