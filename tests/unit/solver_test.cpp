#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "harness.h"
#include "program_cases.h"

namespace {

using fake::Call;

using testutil::AnswerCase;
using testutil::StopCase;

class Answers : public testing::TestWithParam<AnswerCase> {};

TEST_P(Answers, CompleteRunWritesTheAnswerAndNothingElse) {
  harness::ResetProcess();
  harness::Outcome o = harness::RunProgram(GetParam().input);
  EXPECT_TRUE(o.ended);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.standard_output, "");
  EXPECT_EQ(o.out, GetParam().out);
  EXPECT_FALSE(fake::FileIsOpen("korvanda.in"));
  EXPECT_FALSE(fake::FileIsOpen("korvanda.out"));
  EXPECT_EQ(fake::Misuses(), 0);
}

INSTANTIATE_TEST_SUITE_P(Solver, Answers,
                         testing::ValuesIn(testutil::AnswerCases()),
                         testutil::CaseName());

// Gaps of 10 everywhere but at the listed indices, which are 1 wide: the
// first of them inside 3..N-1 must win, wherever it lies.
TEST(Answers, NarrowestGapAcrossTheSearchBlocks) {
  struct Case {
    int n;
    std::vector<int> narrow;
    int k;
  } cases[] = {
      {200, {130, 70}, 70},
      {200, {66, 67, 130}, 66},
      {200, {2, 199, 200}, 199},
      {200, {2, 200}, 3},
      {67, {66}, 66},
      {68, {67, 4}, 4},
      {5000, {4999, 4998}, 4998},
      {131, {130, 3}, 3},
      {4, {2, 4}, 3},
      {50000, {25001}, 25001},
  };
  for (const Case& c : cases) {
    harness::ResetProcess();
    std::string input = std::to_string(c.n);
    int position = 0;
    for (int i = 2; i <= c.n; ++i) {
      bool narrow =
          std::find(c.narrow.begin(), c.narrow.end(), i) != c.narrow.end();
      position += narrow ? 1 : 10;
      input += " " + std::to_string(position);
    }
    int gap_k =
        std::find(c.narrow.begin(), c.narrow.end(), c.k) != c.narrow.end() ? 1
                                                                           : 10;
    harness::Outcome o = harness::RunProgram(input);
    EXPECT_EQ(o.out, std::to_string(position + gap_k) + "\r\n" +
                         std::to_string(c.n) + " " + std::to_string(c.k - 1) +
                         "\r\n" + std::to_string(c.k) + " 1\r\n")
        << "n " << c.n << ", expected k " << c.k;
  }
}

class Stops : public testing::TestWithParam<StopCase> {};

TEST_P(Stops, InvalidInputStopsWithEmptyOutputFile) {
  harness::ResetProcess();
  fake::PutFile("korvanda.out", "left by an earlier run");
  harness::Outcome o = harness::RunProgram(GetParam().input);
  EXPECT_EQ(o.status, GetParam().code);
  harness::Report r = harness::ParseReport(o.standard_output);
  EXPECT_TRUE(r.well_formed);
  EXPECT_EQ(r.code, GetParam().code);
  EXPECT_TRUE(o.out_exists);
  EXPECT_EQ(o.out, "");
  EXPECT_FALSE(fake::FileIsOpen("korvanda.in"));
  EXPECT_FALSE(fake::FileIsOpen("korvanda.out"));
}

INSTANTIATE_TEST_SUITE_P(Solver, Stops,
                         testing::ValuesIn(testutil::InvalidInputCases()),
                         testutil::CaseName());

// Platform failures at each step, the code they give and what the output
// file holds afterwards.
struct PlatformCase {
  const char* what;
  void (*plan)();
  std::string input;
  int status;
  std::string out;
};

TEST(PlatformFailures, StopAtTheCheckAfterTheFailingCall) {
  const std::string many = [] {
    std::string s = "60";
    for (int i = 1; i < 60; ++i) s += " " + std::to_string(i * 1000);
    return s;
  }();
  const PlatformCase cases[] = {
      {"input missing", [] {}, "", 2, "kept"},
      {"input refused",
       [] { fake::FailCall(Call::OpenRead, 5, "korvanda.in"); }, "4 1 3 4", 5,
       "kept"},
      {"output refused",
       [] { fake::FailCall(Call::CreateWrite, 5, "korvanda.out"); }, "4 1 3 4",
       5, "kept"},
      {"first read", [] { fake::FailCall(Call::Read, 23, "korvanda.in", 1); },
       "4 1 3 4", 23, ""},
      {"later refill", [] { fake::FailCall(Call::Read, 23, "korvanda.in", 2); },
       many, 23, ""},
      {"write-out at close",
       [] { fake::FailCall(Call::Write, 28, "korvanda.out"); }, "4 1 3 4", 28,
       ""},
      {"close of the input",
       [] { fake::FailCall(Call::Close, 5, "korvanda.in"); }, "4 1 3 4", 5,
       "6\r\n4 2\r\n3 1\r\n"},
      {"close of the output",
       [] { fake::FailCall(Call::Close, 5, "korvanda.out"); }, "4 1 3 4", 5,
       "6\r\n4 2\r\n3 1\r\n"},
      {"close of the input, then the write-out in the stop",
       [] {
         fake::FailCall(Call::Close, 5, "korvanda.in");
         fake::FailCall(Call::Write, 28, "korvanda.out");
       },
       "4 1 3 4", 5, ""},
  };
  for (const PlatformCase& c : cases) {
    harness::ResetProcess();
    fake::PutFile("korvanda.out", "kept");
    if (std::string(c.what) != "input missing") {
      fake::PutFile("korvanda.in", c.input);
    }
    c.plan();
    harness::Outcome o = harness::RunProgramAsSetUp();
    EXPECT_EQ(o.status, c.status) << c.what;
    harness::Report r = harness::ParseReport(o.standard_output);
    EXPECT_TRUE(r.well_formed) << c.what;
    EXPECT_EQ(r.code, c.status) << c.what;
    EXPECT_TRUE(o.out_exists) << c.what;
    EXPECT_EQ(o.out, c.out) << c.what;
    EXPECT_FALSE(fake::FileIsOpen("korvanda.in")) << c.what;
    EXPECT_FALSE(fake::FileIsOpen("korvanda.out")) << c.what;
    EXPECT_EQ(fake::Misuses(), 0) << c.what;
  }
}

}  // namespace
