#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <map>
#include <ostream>
#include <string>

#include "program_cases.h"
#include "program_run.h"
#include "report_line.h"
#include "token_model.h"

namespace {

using e2e::ExitStatus;
using e2e::Result;
using e2e::RunBuiltProgram;
using e2e::Scenario;
using testutil::ParseReport;

const std::string Earlier = "an answer left by an earlier run\r\n";

Scenario WithInput(const std::string& input) {
  Scenario s;
  s.input = input;
  s.earlier_output = Earlier;
  return s;
}

// The answer or the stop the model gives, for every small count of points
// and the largest, a case each; a stop names its place with the value the
// map beside the program gives that place, on every pass of a loop and
// every run.
class Generated : public testing::TestWithParam<testutil::ProgramCase> {};

TEST_P(Generated, AnswerOrStopIsTheModels) {
  const testutil::Judgement c = testutil::Judge(GetParam());
  // An answer goes to a file made anew; a stop empties an earlier one.
  Scenario s = WithInput(c.input);
  if (c.status == 0) s.earlier_output.reset();
  const Result r = RunBuiltProgram(s);
  ASSERT_TRUE(r.exited) << "signal " << r.signal;
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.output_after, c.out);
  EXPECT_EQ(r.input_after, c.input);
  if (c.status == 0) {
    EXPECT_EQ(r.standard_output, "");
    // Made anew, readable and writable as any new file, and not runnable.
    EXPECT_EQ(r.output_permissions, e2e::NewFilePermissions());
    return;
  }
  e2e::ExpectReport(r.standard_output, c.status, c.place);
}

INSTANTIATE_TEST_SUITE_P(
    UpToSixPointsAndTheMost, Generated,
    testing::ValuesIn(testutil::GeneratedCases(6)),
    [](const testing::TestParamInfo<testutil::ProgramCase>& info) {
      return info.param.name;
    });

// README's examples and rules, written out with their answers. The model
// and the program have one author, and only a literal catches a misreading
// the two share: each is checked against both.
struct Example {
  const char* name;
  std::string input;
  int status;
  std::string out;  // korvanda.out afterwards
};

void PrintTo(const Example& c, std::ostream* os) { *os << c.name; }

class Examples : public testing::TestWithParam<Example> {};

TEST_P(Examples, AnswerIsWrittenOutAndTheModelAgrees) {
  const Example& c = GetParam();
  const auto tokens = model::Tokens(
      reinterpret_cast<const std::uint8_t*>(c.input.data()), c.input.size());
  int code = -1;
  EXPECT_EQ(model::Answer(tokens, code).value_or(""), c.out) << "the model";
  EXPECT_EQ(code, c.status) << "the model";
  const Result r = RunBuiltProgram(WithInput(c.input));
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.output_after, c.out);
}

const std::string Line0 = "0\r\n";

INSTANTIATE_TEST_SUITE_P(
    Readme, Examples,
    testing::Values(
        Example{"TheExample", "5\r\n2 5 6 10\r\n", 0, "11\r\n5 3\r\n4 1\r\n"},
        Example{"FourPoints", "4 1 3 4", 0, "6\r\n4 2\r\n3 1\r\n"},
        Example{"TheLargestAnswer", "4 1 999999999 1000000000", 0,
                "1999999998\r\n4 2\r\n3 1\r\n"},
        Example{"PositionsInHexadecimal", "$5 $2 x5 0X6 0xA", 0,
                "11\r\n5 3\r\n4 1\r\n"},
        Example{"OnePointAndJunkAfter", "1 junk", 0, Line0},
        Example{"TwoPoints", "2 7", 0, Line0},
        Example{"ThreePoints", "3 1 2", 0, Line0},
        Example{"APositionOfExactly1000000000", "2 1000000000", 0, Line0},
        Example{"AnyBlanksAndTheEndByte",
                std::string("4\0\t1\0\0 3\n\n\f4\x1A junk", 18), 0,
                "6\r\n4 2\r\n3 1\r\n"},
        Example{"ATieTheLowestIndexWins", "6 10 11 21 22 32", 0,
                "33\r\n6 2\r\n3 1\r\n"},
        Example{"NarrowerOuterGapsDoNotCount", "5 1 11 21 22", 0,
                "32\r\n5 2\r\n3 1\r\n"},
        Example{"ACountOf0", "0 1 2", 239, ""},
        Example{"ANegativeCount", "-1 1 2", 239, ""},
        Example{"ACountOf50001", "50001 1 2", 239, ""},
        Example{"AnEmptyFile", "", 239, ""},
        Example{"AFirstPositionOf0", "2 0", 239, ""},
        Example{"EqualNeighbours", "3 1 1", 239, ""},
        Example{"FewerPositionsThanTheCountSays", "4 1 2", 239, ""},
        Example{"APositionAbove1000000000", "3 1 1000000001", 239, ""},
        Example{"AboveTheLimitThenABadToken", "3 1000000001 12a", 106, ""},
        Example{"AByteOrderMark",
                "\xEF\xBB\xBF"
                "4 1 3 4",
                106, ""}),
    [](const testing::TestParamInfo<Example>& info) {
      return info.param.name;
    });

// A file that cannot be opened stops the run before anything changes: the
// output file is created only once the input is open, and refused before
// it is emptied when it is the input by another name or held by another
// run. A device takes the answer as it comes.
enum class Where { Both, WindowsOnly, LinuxOnly };

struct FileCase {
  const char* name;
  std::function<void(Scenario&)> set;
  const char* status;              // by its name in the table of exit statuses
  std::optional<std::string> out;  // what "korvanda.out" holds after
  const char* place = nullptr;     // the stop place a stop must report
  Where where = Where::Both;
  std::optional<std::string> input_after = "4 1 3 4";
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

const std::string Answer = "6\r\n4 2\r\n3 1\r\n";

using Names = Scenario::Names;
using SecondRun = Scenario::SecondRun;

class Files : public testing::TestWithParam<FileCase> {};

TEST_P(Files, RefusedFilesAreLeftAsTheyWere) {
  const FileCase& c = GetParam();
  if (c.where == Where::WindowsOnly && !e2e::RunsWindowsProgram()) {
    GTEST_SKIP() << "the Windows program only: the Windows suite runs it";
  }
  if (c.where == Where::LinuxOnly && e2e::RunsWindowsProgram()) {
    GTEST_SKIP() << "the Linux program only: this is the Windows program "
                    "under Wine";
  }
  Scenario s = WithInput("4 1 3 4");
  c.set(s);
  const Result r = RunBuiltProgram(s);
  if (!r.cannot.empty()) GTEST_SKIP() << r.cannot;
  const int status = ExitStatus(c.status);
  EXPECT_EQ(r.status, status);
  // A report is never written into the input, and where it can be read a
  // person holding it is told the place and what its code means there.
  if (status != 0 && s.standard_output_file != "korvanda.in") {
    ASSERT_NE(c.place, nullptr) << "a stop names its place";
    e2e::ExpectReport(r.standard_output, status, c.place);
    const std::string told = e2e::Explained(r.standard_output);
    EXPECT_NE(told.find(std::string("stopped at:  ") + c.place),
              std::string::npos)
        << told;
    EXPECT_NE(told.find(e2e::StatusMeaning(c.status)), std::string::npos)
        << told;
  }
  EXPECT_EQ(r.output_after, c.out);
  EXPECT_EQ(r.input_after, c.input_after);
  if (s.second_run != SecondRun::None) {
    EXPECT_EQ(r.held_status, 0);
    EXPECT_EQ(r.held_answer, Answer);
  }
  if (s.names == Names::OutputDanglingLink) {
    EXPECT_EQ(r.link_target_after, c.out);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Program, Files,
    testing::Values(
        FileCase{.name = "InputMissing",
                 .set = [](Scenario& s) { s.input.reset(); },
                 .status = "no-input",
                 .out = Earlier,
                 .place = "open_input",
                 .input_after = std::nullopt},
        FileCase{.name = "InputAFolder",
                 .set =
                     [](Scenario& s) {
                       s.input.reset();
                       s.input_is_folder = true;
                     },
                 .status = "input-folder",
                 .out = Earlier,
                 .place = "open_input",
                 .input_after = std::nullopt},
        FileCase{.name = "InputHeldByAnotherProgram",
                 .set = [](Scenario& s) { s.input_held_unshared = true; },
                 .status = "busy",
                 .out = Earlier,
                 .place = "open_input",
                 .where = Where::WindowsOnly},
        FileCase{.name = "OutputAFolder",
                 .set =
                     [](Scenario& s) {
                       s.earlier_output.reset();
                       s.output_is_folder = true;
                     },
                 .status = "output-folder",
                 .out = std::nullopt,
                 .place = "open_output"},
        FileCase{
            .name = "OutputASymbolicLinkToTheInput",
            .set =
                [](Scenario& s) { s.names = Names::OutputSymbolicLinkToInput; },
            .status = "busy",
            .out = "4 1 3 4",
            .place = "open_output"},
        FileCase{
            .name = "OutputAHardLinkToTheInput",
            .set = [](Scenario& s) { s.names = Names::OutputHardLinkToInput; },
            .status = "busy",
            .out = "4 1 3 4",
            .place = "open_output"},
        FileCase{.name = "OutputTheNullDevice",
                 .set = [](Scenario& s) { s.names = Names::OutputNullDevice; },
                 .status = "complete",
                 .out = std::nullopt,
                 .where = Where::LinuxOnly},
        FileCase{.name = "OutputALinkIntoAMissingFolder",
                 .set =
                     [](Scenario& s) {
                       s.names = Names::OutputLinkIntoAMissingFolder;
                     },
                 .status = "no-output-folder",
                 .out = std::nullopt,
                 .place = "open_output",
                 // Windows says 3; Wine, which finds the link itself,
                 // says 2, as for a missing file.
                 .where = Where::LinuxOnly},
        FileCase{.name = "StandardOutputIsTheInput",
                 .set =
                     [](Scenario& s) {
                       s.names = Names::OutputSymbolicLinkToInput;
                       s.standard_output_file = "korvanda.in";
                     },
                 .status = "busy",
                 .out = "4 1 3 4"},
        FileCase{.name = "StandardOutputAFileOfItsOwn",
                 .set =
                     [](Scenario& s) {
                       s.names = Names::OutputSymbolicLinkToInput;
                       s.standard_output_file = "report";
                     },
                 .status = "busy",
                 .out = "4 1 3 4",
                 .place = "open_output"},
        FileCase{
            .name = "OutputALinkToAFileNotThereYet",
            .set = [](Scenario& s) { s.names = Names::OutputDanglingLink; },
            .status = "complete",
            .out = Answer,
            .where = Where::LinuxOnly},
        // One device by two names is one file; two devices are two.
        FileCase{.name = "BothTheNullDevice",
                 .set = [](Scenario& s) { s.names = Names::BothNullDevice; },
                 .status = "busy",
                 .out = std::nullopt,
                 .place = "open_output",
                 .where = Where::LinuxOnly,
                 .input_after = std::nullopt},
        FileCase{.name = "OutputAnotherNodeForTheInputsDevice",
                 .set =
                     [](Scenario& s) {
                       s.names = Names::InputNullOutputAnotherNodeOfIt;
                     },
                 .status = "busy",
                 .out = std::nullopt,
                 .place = "open_output",
                 .where = Where::LinuxOnly,
                 .input_after = std::nullopt},
        FileCase{
            .name = "InputTheNullDeviceOutputTheZeroDevice",
            .set =
                [](Scenario& s) { s.names = Names::InputNullOutputZeroDevice; },
            .status = "invalid-input",
            .out = std::nullopt,
            .place = "count_range",
            .where = Where::LinuxOnly,
            .input_after = std::nullopt},
        FileCase{
            .name = "BothOneBlockDevice",
            .set = [](Scenario& s) { s.names = Names::BothOneBlockDevice; },
            .status = "busy",
            .out = std::nullopt,
            .place = "open_output",
            .where = Where::LinuxOnly},
        // A FIFO is one file whatever its names: the answer never goes
        // into the input.
        FileCase{.name = "OutputASymbolicLinkToAFifoInput",
                 .set =
                     [](Scenario& s) {
                       s.input_through_fifo = true;
                       s.names = Names::OutputSymbolicLinkToInput;
                     },
                 .status = "busy",
                 .out = std::nullopt,
                 .place = "open_output",
                 .where = Where::LinuxOnly,
                 .input_after = std::nullopt},
        // While one run holds its files, another is refused before it
        // empties or reads anything, and the first run's answer stands.
        FileCase{
            .name = "ASecondRunInTheSameFolder",
            .set = [](Scenario& s) { s.second_run = SecondRun::SameFolder; },
            .status = "busy",
            .out = Answer,
            .place = "open_output",
            .input_after = std::nullopt},
        FileCase{.name = "ASecondRunWhoseOutputIsALinkToTheFirstRunsInput",
                 .set =
                     [](Scenario& s) {
                       s.second_run = SecondRun::OutputLinkedToInput;
                     },
                 .status = "busy",
                 .out = std::nullopt,
                 .place = "open_output",
                 .where = Where::LinuxOnly}),
    [](const testing::TestParamInfo<FileCase>& info) {
      return info.param.name;
    });

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
      {"complete run", "4 1 3 4", 0, Answer},
      {"invalid input", "4 1 3 3", 239, ""},
      {"missing input", std::nullopt, 2, Earlier},
  };
  for (const Case& c : cases) {
    Scenario s;
    s.input = c.input;
    s.earlier_output = Earlier;
    start(s);
    Result r = RunBuiltProgram(s);
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
  ExpectRightWithoutStandardOutput([](Scenario& s) {
    s.closed_standard_descriptors = {0, 1, 2};
  });
}

TEST(HostileStart, NoStandardOutputHandle) {
  if (!e2e::RunsWindowsProgram())
    GTEST_SKIP() << "the Windows program only: the Windows suite runs it";
  ExpectRightWithoutStandardOutput(
      [](Scenario& s) { s.no_standard_output_handle = true; });
}

// What would end the process with a signal shows as a failure code, and a
// start with few descriptors to spare changes no file it cannot finish
// with. Of an answer that a file-size limit cuts, what fitted stays; the
// code says the rest did not arrive.
struct StartCase {
  const char* name;
  std::function<void(Scenario&)> start;
  std::string input;
  int status;
  std::string out;
  const char* place = nullptr;  // where a report that can be read stopped
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class HostileStarts : public testing::TestWithParam<StartCase> {};

TEST_P(HostileStarts, StatusAndFilesTellTheTruth) {
  if (const char* why = e2e::WhyNotNative()) GTEST_SKIP() << why;
  const StartCase& c = GetParam();
  Scenario s = WithInput(c.input);
  c.start(s);
  Result r = RunBuiltProgram(s);
  ASSERT_TRUE(r.exited) << "ended by signal " << r.signal;
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.output_after, c.out);
  EXPECT_EQ(r.input_after, c.input);
  if (c.place != nullptr)
    e2e::ExpectReport(r.standard_output, c.status, c.place);
}

INSTANTIATE_TEST_SUITE_P(
    Program, HostileStarts,
    testing::Values(
        StartCase{
            .name = "StandardOutputWithoutAReader",
            .start = [](Scenario& s) { s.standard_output_reader_gone = true; },
            .input = "2 0",
            .status = 239,
            .out = ""},
        StartCase{.name = "AFileSizeLimitBelowTheAnswer",
                  .start = [](Scenario& s) { s.file_size_limit_bytes = 4; },
                  .input = "4 1 3 4",
                  .status = EFBIG,
                  .out = "6\r\n4",
                  .place = "close_output"},
        // The output cannot be opened: the earlier answer stays whole.
        StartCase{.name = "StandardInputClosedAndFourDescriptorsAtMost",
                  .start =
                      [](Scenario& s) {
                        s.closed_standard_descriptors = {0};
                        s.wrapper = {"prlimit", "--nofile=4", "--"};
                      },
                  .input = "4 1 3 4",
                  .status = EMFILE,
                  .out = Earlier,
                  .place = "open_output"}),
    [](const testing::TestParamInfo<StartCase>& info) {
      return info.param.name;
    });

std::uint32_t SiteOf(const Scenario& setup, int expected_status) {
  Result r = RunBuiltProgram(setup);
  testutil::Report report = ParseReport(r.standard_output);
  EXPECT_EQ(r.status, expected_status);
  EXPECT_TRUE(report.well_formed) << r.standard_output;
  return report.site;
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
