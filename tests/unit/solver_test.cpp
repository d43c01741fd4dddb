#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <set>
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
  bool out_exists;
  std::string out;
};

TEST(PlatformFailures, StopAtTheCheckAfterTheFailingCall) {
  const std::string many = [] {
    std::string s = "60";
    for (int i = 1; i < 60; ++i) s += " " + std::to_string(i * 1000);
    return s;
  }();
  const PlatformCase cases[] = {
      {"input missing", [] {}, "", 2, true, "kept"},
      {"input refused",
       [] { fake::FailCall(Call::OpenRead, 5, "korvanda.in"); }, "4 1 3 4", 5,
       true, "kept"},
      {"input held", [] { fake::FailCall(Call::OpenRead, 32, "korvanda.in"); },
       "4 1 3 4", 32, true, "kept"},
      {"output refused",
       [] { fake::FailCall(Call::CreateWrite, 5, "korvanda.out"); }, "4 1 3 4",
       5, true, "kept"},
      {"first read", [] { fake::FailCall(Call::Read, 23, "korvanda.in", 1); },
       "4 1 3 4", 23, true, ""},
      {"later refill", [] { fake::FailCall(Call::Read, 23, "korvanda.in", 2); },
       many, 23, true, ""},
      {"write-out at close",
       [] { fake::FailCall(Call::Write, 28, "korvanda.out"); }, "4 1 3 4", 28,
       true, ""},
      {"close of the input",
       [] { fake::FailCall(Call::Close, 5, "korvanda.in"); }, "4 1 3 4", 5,
       true, "6\r\n4 2\r\n3 1\r\n"},
      {"close of the output",
       [] { fake::FailCall(Call::Close, 5, "korvanda.out"); }, "4 1 3 4", 5,
       true, "6\r\n4 2\r\n3 1\r\n"},
      {"close of the input, then the write-out in the stop",
       [] {
         fake::FailCall(Call::Close, 5, "korvanda.in");
         fake::FailCall(Call::Write, 28, "korvanda.out");
       },
       "4 1 3 4", 5, true, ""},
      {"status with no low bits",
       [] { fake::FailCall(Call::Close, 0x300, "korvanda.in"); }, "1", 255,
       true, "0\r\n"},
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
    EXPECT_EQ(o.out_exists, c.out_exists) << c.what;
    EXPECT_EQ(o.out, c.out) << c.what;
    EXPECT_FALSE(fake::FileIsOpen("korvanda.in")) << c.what;
    EXPECT_FALSE(fake::FileIsOpen("korvanda.out")) << c.what;
    EXPECT_EQ(fake::Misuses(), 0) << c.what;
  }
}

// Every stop the body can reach, by the place that stops it.
std::uint32_t SiteOf(
    const std::string& input, void (*plan)() = [] {}) {
  harness::ResetProcess();
  fake::PutFile("korvanda.in", input);
  plan();
  harness::Outcome o = harness::RunProgramAsSetUp();
  harness::Report r = harness::ParseReport(o.standard_output);
  EXPECT_TRUE(r.well_formed) << input;
  return r.site;
}

TEST(FailureSites, EachPlaceHasItsOwnAndALoopKeepsItsOwn) {
  std::map<std::string, std::set<std::uint32_t>> sites;
  sites["open input"].insert(
      SiteOf("1", [] { fake::FailCall(Call::OpenRead, 2, "korvanda.in"); }));
  sites["open output"].insert(SiteOf(
      "1", [] { fake::FailCall(Call::CreateWrite, 5, "korvanda.out"); }));
  sites["read count"].insert(SiteOf("q"));
  sites["count range"].insert(SiteOf("0"));
  sites["count range"].insert(SiteOf("50001"));
  sites["read position"].insert(SiteOf("5 q"));
  sites["read position"].insert(SiteOf("5 1 2 3 q"));
  sites["order"].insert(SiteOf("5 0"));
  sites["order"].insert(SiteOf("5 1 2 3 3"));
  sites["range"].insert(
      SiteOf("5 1000000001 1000000002 1000000003 1000000004"));
  sites["range"].insert(SiteOf("5 1 2 3 1000000001"));
  sites["close input"].insert(
      SiteOf("1", [] { fake::FailCall(Call::Close, 5, "korvanda.in"); }));
  sites["close output"].insert(
      SiteOf("1", [] { fake::FailCall(Call::Close, 5, "korvanda.out"); }));

  std::set<std::uint32_t> all;
  for (const auto& [place, values] : sites) {
    EXPECT_EQ(values.size(), 1u) << place << " reported more than one site";
    all.insert(*values.begin());
  }
  EXPECT_EQ(all.size(), sites.size()) << "two places share a site";
}

}  // namespace
