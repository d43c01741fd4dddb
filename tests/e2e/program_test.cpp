#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <ostream>
#include <set>
#include <string>

#include "program_cases.h"
#include "program_run.h"
#include "report_line.h"

namespace {

using e2e::Result;
using e2e::RunProgram;
using e2e::Scenario;
using testutil::ParseReport;

const std::string Earlier = "an answer left by an earlier run\r\n";

Scenario WithInput(const std::string& input) {
  Scenario s;
  s.input = input;
  s.earlier_output = Earlier;
  return s;
}

using testutil::AnswerCase;
using testutil::StopCase;

class Answers : public testing::TestWithParam<AnswerCase> {};

TEST_P(Answers, WritesTheAnswerSilentlyAndExitsZero) {
  Result r = RunProgram(WithInput(GetParam().input));
  ASSERT_TRUE(r.exited);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.standard_output, "");
  EXPECT_EQ(r.output_after, GetParam().out);
  EXPECT_EQ(r.input_after, GetParam().input);
}

INSTANTIATE_TEST_SUITE_P(Program, Answers,
                         testing::ValuesIn(testutil::AnswerCases()),
                         testutil::CaseName());

class InvalidInput : public testing::TestWithParam<StopCase> {};

TEST_P(InvalidInput, ReportsAndLeavesAnEmptyOutputFile) {
  Result r = RunProgram(WithInput(GetParam().input));
  ASSERT_TRUE(r.exited);
  EXPECT_EQ(r.status, GetParam().code);
  testutil::Report report = ParseReport(r.standard_output);
  EXPECT_TRUE(report.well_formed) << r.standard_output;
  EXPECT_EQ(report.code, GetParam().code);
  EXPECT_EQ(r.output_after, "");
  EXPECT_EQ(r.input_after, GetParam().input);
}

INSTANTIATE_TEST_SUITE_P(Program, InvalidInput,
                         testing::ValuesIn(testutil::InvalidInputCases()),
                         testutil::CaseName());

// Platform codes differ: the Windows program says 5 where a POSIX system
// says EISDIR.
int FolderRefusedCode() { return e2e::RunsWindowsProgram() ? 5 : EISDIR; }

TEST(Files, UnopenableInputLeavesTheOutputFileUntouched) {
  struct Case {
    const char* what;
    Scenario setup;
    int code;
  };
  Scenario missing;
  missing.earlier_output = Earlier;
  Scenario folder = missing;
  folder.input_is_folder = true;
  for (const Case& c : {Case{"missing", missing, 2},
                        Case{"a folder", folder, FolderRefusedCode()}}) {
    Result r = RunProgram(c.setup);
    EXPECT_EQ(r.status, c.code) << c.what;
    testutil::Report report = ParseReport(r.standard_output);
    EXPECT_TRUE(report.well_formed) << c.what;
    EXPECT_EQ(report.code, c.code) << c.what;
    EXPECT_EQ(r.output_after, Earlier) << c.what;
  }
}

TEST(Files, InputHeldByAnotherProcess) {
  if (!e2e::RunsWindowsProgram() || e2e::HoldHelperPath().empty()) {
    GTEST_SKIP() << "needs the Windows program and its holding helper";
  }
  Scenario s = WithInput("4 1 3 4");
  s.input_held_unshared = true;
  Result r = RunProgram(s);
  EXPECT_EQ(r.status, 32);
  EXPECT_EQ(ParseReport(r.standard_output).code, 32);
  EXPECT_EQ(r.output_after, Earlier);
}

TEST(Files, OutputThatCannotBeCreated) {
  Scenario s = WithInput("4 1 3 4");
  s.earlier_output.reset();
  s.output_is_folder = true;
  Result r = RunProgram(s);
  EXPECT_EQ(r.status, FolderRefusedCode());
  EXPECT_EQ(ParseReport(r.standard_output).code, FolderRefusedCode());
  EXPECT_EQ(r.input_after, "4 1 3 4");
}

// A batch job can be started in states a console never sees; the exit
// status and the files must still tell the truth. Without a usable
// standard output the report is lost, and only that.
void ExpectRightWithoutStandardOutput(void (*start)(Scenario&)) {
  struct Case {
    const char* what;
    std::optional<std::string> input;
    int status;
    std::optional<std::string> out;
  } cases[] = {
      {"complete run", "4 1 3 4", 0, "6\r\n4 2\r\n3 1\r\n"},
      {"invalid input", "4 1 3 3", 239, ""},
      {"missing input", std::nullopt, 2, Earlier},
  };
  for (const Case& c : cases) {
    Scenario s;
    s.input = c.input;
    s.earlier_output = Earlier;
    start(s);
    Result r = RunProgram(s);
    ASSERT_TRUE(r.exited) << c.what << ": signal " << r.signal;
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(r.output_after, c.out) << c.what << ": the report went astray";
    EXPECT_EQ(r.input_after, c.input) << c.what;
  }
}

// Under Wine a closed descriptor tests Wine's own start-up, whose exit
// status is then unreliable, not the program; the Windows program gets
// the state its platform has instead, a missing handle.
TEST(HostileStart, StandardDescriptorsClosed) {
  if (e2e::RunsWindowsProgram()) GTEST_SKIP() << "POSIX descriptors";
  ExpectRightWithoutStandardOutput(
      [](Scenario& s) { s.standard_descriptors_closed = true; });
}

TEST(HostileStart, NoStandardOutputHandle) {
  if (!e2e::RunsWindowsProgram()) GTEST_SKIP() << "a Windows process state";
  ExpectRightWithoutStandardOutput(
      [](Scenario& s) { s.no_standard_output_handle = true; });
}

TEST(HostileStart, StandardOutputReaderGone) {
  if (e2e::RunsWindowsProgram()) GTEST_SKIP() << "a POSIX signal";
  Scenario s = WithInput("2 0");
  s.standard_output_reader_gone = true;
  Result r = RunProgram(s);
  ASSERT_TRUE(r.exited) << "ended by signal " << r.signal;
  EXPECT_EQ(r.status, 239);
  EXPECT_EQ(r.output_after, "");
}

TEST(HostileStart, FileSizeLimitBelowTheAnswer) {
  if (e2e::RunsWindowsProgram()) GTEST_SKIP() << "a POSIX signal";
  Scenario s = WithInput("4 1 3 4");
  s.file_size_limit_bytes = 4;
  Result r = RunProgram(s);
  ASSERT_TRUE(r.exited) << "ended by signal " << r.signal;
  EXPECT_EQ(r.status, EFBIG);
  EXPECT_EQ(ParseReport(r.standard_output).code, EFBIG);
  // The write-out at close fails whole: nothing passes for the answer.
  EXPECT_NE(r.output_after, "6\r\n4 2\r\n3 1\r\n");
}

// The report names the place that stopped: one value per place, the same
// on every pass of a loop and on every run.
std::uint32_t SiteOf(const Scenario& setup, int expected_status) {
  Result r = RunProgram(setup);
  testutil::Report report = ParseReport(r.standard_output);
  EXPECT_EQ(r.status, expected_status);
  EXPECT_TRUE(report.well_formed) << r.standard_output;
  return report.site;
}

TEST(FailureSites, OneValuePerPlaceSteadyAcrossPassesAndRuns) {
  Scenario missing;
  Scenario output_folder = WithInput("1");
  output_folder.earlier_output.reset();
  output_folder.output_is_folder = true;

  std::map<std::string, std::set<std::uint32_t>> sites;
  for (int run = 0; run < 2; ++run) {
    sites["open input"].insert(SiteOf(missing, 2));
    sites["open output"].insert(SiteOf(output_folder, FolderRefusedCode()));
    sites["read count"].insert(SiteOf(WithInput("?"), 106));
    sites["count range"].insert(SiteOf(WithInput("0"), 239));
    sites["count range"].insert(SiteOf(WithInput("-7"), 239));
    sites["read position"].insert(SiteOf(WithInput("9 ?"), 106));
    sites["read position"].insert(SiteOf(WithInput("9 1 2 3 4 5 ?"), 106));
    sites["order"].insert(SiteOf(WithInput("9 0"), 239));
    sites["order"].insert(SiteOf(WithInput("9 1 2 3 4 5 5"), 239));
    sites["range"].insert(SiteOf(WithInput("3 1000000001 1000000002"), 239));
    sites["range"].insert(SiteOf(WithInput("3 1 1000000002"), 239));
  }
  std::set<std::uint32_t> all;
  for (const auto& [place, values] : sites) {
    EXPECT_EQ(values.size(), 1u) << place << " reported different sites";
    EXPECT_NE(*values.begin(), 0u) << place;
    all.insert(*values.begin());
  }
  EXPECT_EQ(all.size(), sites.size()) << "two places share a site";
}

// Address-space randomisation loads the program somewhere else on every
// run; with it turned off the program sits at one fixed address. The site
// must not tell the two apart.
TEST(FailureSites, SameWhereverTheProgramIsLoaded) {
  if (e2e::RunsWindowsProgram()) GTEST_SKIP() << "setarch runs Linux programs";
  Scenario randomised = WithInput("?");
  Scenario fixed = randomised;
  fixed.wrapper = {"setarch", "-R", "--"};
  std::uint32_t site = SiteOf(randomised, 106);
  EXPECT_EQ(SiteOf(fixed, 106), site);
  EXPECT_EQ(SiteOf(randomised, 106), site);
}

// The checks after the answer is written cannot fail in a real run, so
// their sites are shown distinct by the calls in the optimised program:
// one call instruction per place in the body, none merged or duplicated.
TEST(FailureSites, EveryPlaceIsOneCallInTheProgram) {
  std::string command = e2e::ObjdumpCommand() + " -d --no-show-raw-insn '" +
                        e2e::ProgramPath() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::map<std::string, int> calls;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text = line;
    if (text.find("call") == std::string::npos) continue;
    for (const char* name : {"CheckIoStatus", "FailureStop"}) {
      if (text.find(name) != std::string::npos) ++calls[name];
    }
  }
  ASSERT_EQ(pclose(pipe), 0) << command;
  EXPECT_EQ(calls["CheckIoStatus"], 10);
  EXPECT_EQ(calls["FailureStop"], 3);
}

}  // namespace
