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
  Scenario s = WithInput(GetParam().input);
  s.earlier_output.reset();
  Result r = RunProgram(s);
  ASSERT_TRUE(r.exited);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.standard_output, "");
  EXPECT_EQ(r.output_after, GetParam().out);
  EXPECT_EQ(r.input_after, GetParam().input);
  // Made anew, readable and writable as any new file, and not runnable.
  EXPECT_EQ(r.output_permissions, e2e::NewFilePermissions());
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

// A file that cannot be opened stops the run before anything changes:
// the output file is created only once the input is open, and refused
// before it is emptied when it is another name for the input. A device
// takes the answer as it comes.
TEST(Files, RefusedFilesAreLeftAsTheyWere) {
  using OutputName = Scenario::OutputName;
  const bool windows = e2e::RunsWindowsProgram();
  // The Windows program holds its input with read-only sharing (32).
  const int busy = windows ? 32 : EBUSY;
  using SecondRun = Scenario::SecondRun;
  const std::string input = "4 1 3 4";
  const std::string answer = "6\r\n4 2\r\n3 1\r\n";
  // Holding a file against others is the Windows program's case, a POSIX
  // device the Linux program's.
  enum Where { Both, WindowsOnly, LinuxOnly };
  struct Case {
    const char* what;
    void (*set)(Scenario&);
    int code;
    std::optional<std::string> out;  // what "korvanda.out" holds after
    Where where = Both;
  } cases[] = {
      {"input missing", [](Scenario& s) { s.input.reset(); }, 2, Earlier},
      {"input a folder",
       [](Scenario& s) {
         s.input.reset();
         s.input_is_folder = true;
       },
       FolderRefusedCode(), Earlier},
      {"input held by another program",
       [](Scenario& s) { s.input_held_unshared = true; }, 32, Earlier,
       WindowsOnly},
      {"output a folder",
       [](Scenario& s) {
         s.earlier_output.reset();
         s.output_is_folder = true;
       },
       FolderRefusedCode(), std::nullopt},
      {"output a symbolic link to the input",
       [](Scenario& s) { s.output_name = OutputName::SymbolicLinkToInput; },
       busy, input},
      {"output a hard link to the input",
       [](Scenario& s) { s.output_name = OutputName::HardLinkToInput; }, busy,
       input},
      {"output the null device",
       [](Scenario& s) { s.output_name = OutputName::NullDevice; }, 0,
       std::nullopt, LinuxOnly},
      // While one run holds its files, another is refused before it
      // empties or reads anything, and the first run's answer stands.
      {"a second run in the same folder",
       [](Scenario& s) { s.second_run = SecondRun::SameFolder; }, busy, answer},
      {"a second run whose output is a link to the first run's input",
       [](Scenario& s) { s.second_run = SecondRun::OutputLinkedToInput; }, busy,
       std::nullopt, LinuxOnly},
  };
  for (const Case& c : cases) {
    if ((c.where == WindowsOnly && e2e::HoldHelperPath().empty()) ||
        (c.where == LinuxOnly && windows)) {
      continue;
    }
    Scenario s = WithInput(input);
    c.set(s);
    Result r = RunProgram(s);
    EXPECT_EQ(r.status, c.code) << c.what;
    if (c.code != 0) {
      EXPECT_EQ(ParseReport(r.standard_output).code, c.code) << c.what;
    }
    EXPECT_EQ(r.output_after, c.out) << c.what;
    if (s.second_run == SecondRun::None) {
      EXPECT_EQ(r.input_after, s.input) << c.what;
    } else {
      EXPECT_EQ(r.held_status, 0) << c.what;
      EXPECT_EQ(r.held_answer, answer) << c.what;
      // A FIFO fed the first run in the same folder.
      EXPECT_EQ(r.input_after,
                s.second_run == SecondRun::SameFolder ? std::nullopt : s.input)
          << c.what;
    }
  }
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
  if (const char* why = e2e::WhyNotNative()) GTEST_SKIP() << why;
  ExpectRightWithoutStandardOutput(
      [](Scenario& s) { s.standard_descriptors_closed = true; });
}

TEST(HostileStart, NoStandardOutputHandle) {
  if (!e2e::RunsWindowsProgram()) GTEST_SKIP() << "needs Wine";
  ExpectRightWithoutStandardOutput(
      [](Scenario& s) { s.no_standard_output_handle = true; });
}

// What would end the process with a signal shows as a failure code. Of an
// answer that a file-size limit cuts, what fitted stays; the code says the
// rest did not arrive.
TEST(HostileStart, SignalsBecomeFailureCodes) {
  if (const char* why = e2e::WhyNotNative()) GTEST_SKIP() << why;
  struct Case {
    const char* what;
    std::string input;
    bool reader_gone;
    long size_limit;
    int status;
    std::string out;
  } cases[] = {
      {"standard output without a reader", "2 0", true, -1, 239, ""},
      {"a file-size limit below the answer", "4 1 3 4", false, 4, EFBIG,
       "6\r\n4"},
  };
  for (const Case& c : cases) {
    Scenario s = WithInput(c.input);
    s.standard_output_reader_gone = c.reader_gone;
    s.file_size_limit_bytes = c.size_limit;
    Result r = RunProgram(s);
    ASSERT_TRUE(r.exited) << c.what << ": ended by signal " << r.signal;
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(r.output_after, c.out) << c.what;
  }
}

// The report names the place that stopped: the value the map beside the
// program gives that place, the same on every pass of a loop and run.
std::uint32_t SiteOf(const Scenario& setup, int expected_status) {
  Result r = RunProgram(setup);
  testutil::Report report = ParseReport(r.standard_output);
  EXPECT_EQ(r.status, expected_status);
  EXPECT_TRUE(report.well_formed) << r.standard_output;
  return report.site;
}

TEST(FailureSites, EachStopReportsItsOwnPlaceOnEveryPassAndRun) {
  const std::map<std::string, std::uint32_t> places = e2e::StopPlaces();
  Scenario missing;
  Scenario output_folder = WithInput("1");
  output_folder.earlier_output.reset();
  output_folder.output_is_folder = true;
  struct Case {
    const char* place;
    Scenario setup;
    int status;
  } cases[] = {
      {"open_input", missing, 2},
      {"open_output", output_folder, FolderRefusedCode()},
      {"read_count", WithInput("?"), 106},
      {"count_range", WithInput("0"), 239},
      {"count_range", WithInput("-7"), 239},
      {"count_range", WithInput("50001"), 239},
      {"read_position", WithInput("9 ?"), 106},
      {"read_position", WithInput("9 1 2 3 4 5 ?"), 106},
      {"position_order", WithInput("9 0"), 239},
      {"position_order", WithInput("9 1 2 3 4 5 5"), 239},
      {"position_range", WithInput("3 1000000001 1000000002"), 239},
      {"position_range", WithInput("3 1 1000000002"), 239},
  };
  for (int run = 0; run < 2; ++run) {
    for (const Case& c : cases) {
      ASSERT_EQ(places.count(c.place), 1u) << c.place;
      EXPECT_EQ(SiteOf(c.setup, c.status), places.at(c.place)) << c.place;
    }
  }
  // And a person holding the report line is told the same place.
  Result r = RunProgram(missing);
  std::string command = std::string(KORVANDA_EXPLAIN_SCRIPT) + " --program '" +
                        e2e::ProgramPath() + "' '" +
                        r.standard_output.substr(0, 29) + "'";
  FILE* explained = popen(command.c_str(), "r");
  ASSERT_NE(explained, nullptr);
  char text[4096] = {};
  std::size_t got = fread(text, 1, sizeof text - 1, explained);
  pclose(explained);
  EXPECT_NE(std::string(text, got).find("stopped at:  open_input"),
            std::string::npos)
      << text;
}

// Every place that can stop the program is in it once, each at its own
// address (a copy made by an optimiser fails the build, and so does a
// place missing from the map or the table): the checks after the answer
// is written, which cannot fail in a real run, are shown apart here.
TEST(FailureSites, EachPlaceHasAValueOfItsOwn) {
  const std::map<std::string, std::uint32_t> places = e2e::StopPlaces();
  std::set<std::uint32_t> values;
  for (const auto& [place, value] : places) values.insert(value);
  EXPECT_FALSE(places.empty());
  EXPECT_EQ(values.size(), places.size()) << "two places share a value";
}

// Address-space randomisation loads the program somewhere else on every
// run; with it turned off the program sits at one fixed address. The site
// must not tell the two apart.
TEST(FailureSites, SameWhereverTheProgramIsLoaded) {
  if (const char* why = e2e::WhyNotNative()) GTEST_SKIP() << why;
  Scenario randomised = WithInput("?");
  Scenario fixed = randomised;
  fixed.wrapper = {"setarch", "-R", "--"};
  std::uint32_t site = SiteOf(randomised, 106);
  EXPECT_EQ(SiteOf(fixed, 106), site);
  EXPECT_EQ(SiteOf(randomised, 106), site);
}

}  // namespace
