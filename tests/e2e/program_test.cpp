#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>
#include <string>

#include "program_cases.h"
#include "program_run.h"
#include "rows.h"
#include "token_model.h"

namespace {

using namespace e2e;
using namespace rows;
using Folder = Scenario::Folder;

Scenario WithInput(const std::string& input) {
  return {.input = input, .earlier_output = Earlier};
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
  e2e::ExpectRun(r, c.status, c.place.c_str(), c.out, c.input);
  // Made anew, readable and writable as any new file, and not runnable.
  if (c.status == 0) {
    EXPECT_EQ(r.output_permissions, NewFilePermissions());
  }
}

INSTANTIATE_TEST_SUITE_P(UpToSixPointsAndTheMost, Generated,
                         testing::ValuesIn(testutil::GeneratedCases(6)),
                         rows::ByName());

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

// clang-format off
INSTANTIATE_TEST_SUITE_P(Readme, Examples, testing::Values(
    Example{"TheExample",                   "5\r\n2 5 6 10\r\n",          0,   "11\r\n5 3\r\n4 1\r\n"},
    Example{"FourPoints",                   "4 1 3 4",                    0,   Answer},
    Example{"TheLargestAnswer",             "4 1 999999999 1000000000",   0,   "1999999998\r\n4 2\r\n3 1\r\n"},
    Example{"PositionsInHexadecimal",       "$5 $2 x5 0X6 0xA",           0,   "11\r\n5 3\r\n4 1\r\n"},
    Example{"OnePointAndJunkAfter",         "1 junk",                     0,   Line0},
    Example{"TwoPoints",                    "2 7",                        0,   Line0},
    Example{"ThreePoints",                  "3 1 2",                      0,   Line0},
    Example{"APositionOfExactly1000000000", "2 1000000000",               0,   Line0},
    Example{"AnyBlanksAndTheEndByte",       {"4\0\t1\0\0 3\n\n\f4\x1A junk", 18}, 0, Answer},
    Example{"ATieTheLowestIndexWins",       "6 10 11 21 22 32",           0,   "33\r\n6 2\r\n3 1\r\n"},
    Example{"NarrowerOuterGapsDoNotCount",  "5 1 11 21 22",               0,   "32\r\n5 2\r\n3 1\r\n"},
    Example{"ACountOf0",                    "0 1 2",                      239, ""},
    Example{"ANegativeCount",               "-1 1 2",                     239, ""},
    Example{"ACountOf50001",                "50001 1 2",                  239, ""},
    Example{"AnEmptyFile",                  "",                           239, ""},
    Example{"AFirstPositionOf0",            "2 0",                        239, ""},
    Example{"EqualNeighbours",              "3 1 1",                      239, ""},
    Example{"FewerPositionsThanTheCountSays", "4 1 2",                    239, ""},
    Example{"APositionAbove1000000000",     "3 1 1000000001",             239, ""},
    Example{"AboveTheLimitThenABadToken",   "3 1000000001 12a",           106, ""},
    Example{"AByteOrderMark",               "\xEF\xBB\xBF" "4 1 3 4",     106, ""}),
    rows::ByName());
// clang-format on

// A file that cannot be opened stops the run before anything changes: the
// output file is created only once the input is open, and refused before
// it is emptied when it is the input by another name or held by another
// run. A device takes the answer as it comes. A report is never written
// into the input.
enum class Where { Both, Windows, Linux };

struct FileCase {
  const char* name;
  Folder folder;
  const char* status;              // by its name in the table of exit statuses
  const char* place;               // the stop place a stop must report
  std::optional<std::string> out;  // what "korvanda.out" holds after
  Where where;
  std::optional<std::string> input_after;
  const char* standard_output = "";  // a file of the folder, if not a pipe
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

class Files : public testing::TestWithParam<FileCase> {};

TEST_P(Files, RefusedFilesAreLeftAsTheyWere) {
  const FileCase& c = GetParam();
  if (c.where != Where::Both &&
      (c.where == Where::Windows) != e2e::RunsWindowsProgram()) {
    GTEST_SKIP() << "the other program's only: its own suite runs it";
  }
  Scenario s = WithInput(Input);
  s.folder = c.folder;
  s.standard_output_file = c.standard_output;
  const Result r = RunBuiltProgram(s);
  if (!r.cannot.empty()) GTEST_SKIP() << r.cannot;
  const int status = ExitStatus(c.status);
  e2e::ExpectRun(r, status, c.place, c.out, c.input_after);
  // Where it can be read, a person holding the report is told the place
  // and what its code means there.
  if (status != 0 && c.place != nullptr && *c.place != '\0') {
    const std::string told = e2e::Explained(r.standard_output);
    for (const std::string& part :
         {"stopped at:  " + std::string(c.place), StatusMeaning(c.status)}) {
      EXPECT_NE(told.find(part), std::string::npos) << told;
    }
  }
  if (c.folder == Folder::SecondRunSameFolder ||
      c.folder == Folder::SecondRunOutputLinkedToInput) {
    EXPECT_EQ(r.held_status, 0);
    EXPECT_EQ(r.held_answer, Answer);
  }
  if (c.folder == Folder::OutputDanglingLink) {
    EXPECT_EQ(r.link_target_after, c.out);
  }
}

using enum Scenario::Folder;
using enum Where;
const std::optional<std::string> None;
const char* const Ok = nullptr;
using F = FileCase;

// One device by two names is one file, and so is a FIFO; two devices are
// two. Windows says 3 for a link into a missing folder; Wine, which finds
// the link itself, says 2, as for a missing file.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Program, Files, testing::Values(
  // name, folder, status, place, korvanda.out after, where, korvanda.in after[, standard output]
  F{"InputMissing", NoInput, "no-input", "open_input", Earlier, Both, None},
  F{"InputAFolder", InputFolder, "input-folder", "open_input", Earlier, Both, None},
  F{"InputHeldByAnotherProgram", InputHeld, "busy", "open_input", Earlier, Both, Input},
  F{"InputHeldByAnotherProgramAndStandardOutputIsIt", InputHeld, "busy", "", Earlier, Both, Input, "korvanda.in"},
  F{"OutputAFolder", OutputFolder, "output-folder", "open_output", None, Both, Input},
  F{"OutputASymbolicLinkToTheInput", OutputLinkToInput, "busy", "open_output", Input, Both, Input},
  F{"OutputAHardLinkToTheInput", OutputHardLinkToInput, "busy", "open_output", Input, Both, Input},
  F{"OutputIntoAMissingFolder", OutputIntoMissingFolder, "no-output-folder", "open_output", None, Linux, Input},
  F{"StandardOutputIsTheInput", OutputLinkToInput, "busy", "", Input, Both, Input, "korvanda.in"},
  F{"StandardOutputAFileOfItsOwn", OutputLinkToInput, "busy", "open_output", Input, Both, Input, "report"},
  F{"OutputTheNullDevice", OutputNullDevice, "complete", Ok, None, Linux, Input},
  F{"OutputALinkToAFileNotThereYet", OutputDanglingLink, "complete", Ok, Answer, Linux, Input},
  F{"BothTheNullDevice", BothNullDevice, "busy", "open_output", None, Linux, None},
  F{"OutputAnotherNodeForTheInputsDevice", NullAndAnotherNodeOfIt, "busy", "open_output", None, Linux, None},
  F{"InputTheNullDeviceOutputTheZero", NullAndZeroDevice, "invalid-input", "count_range", None, Linux, None},
  F{"BothOneBlockDevice", BothOneBlockDevice, "busy", "open_output", None, Linux, Input},
  F{"BothOneBlockDeviceAndStandardOutputIsIt", BothOneBlockDevice, "busy", "", None, Linux, Input, "korvanda.in"},
  F{"OutputASymbolicLinkToAFifoInput", InputFifoOutputLinkToIt, "busy", "open_output", None, Linux, None},
  // While one run holds its files, another is refused before it empties
  // or reads anything, and the first run's answer stands.
  F{"ASecondRunInTheSameFolder", SecondRunSameFolder, "busy", "open_output", Answer, Both, None},
  F{"ASecondRunWhoseOutputIsALinkToTheFirstRunsInput", SecondRunOutputLinkedToInput, "busy", "open_output", None, Linux,
    Input},
  // Nor does its report go into the first run's answer.
  F{"ASecondRunWhoseStandardOutputIsTheFirstRunsOutput", SecondRunSameFolder, "busy", "", Answer, Linux, None,
    "korvanda.out"},
  F{"ASecondRunAppendingToTheFirstRunsOutput", SecondRunSameFolder, "busy", "", Answer, Linux, None, ">>korvanda.out"}),
  rows::ByName());
// clang-format on

// korvanda >korvanda.out: the output the run holds keeps the report.
TEST(Report, GoesIntoTheOutputTheRunHolds) {
  Scenario s = WithInput("4 1 3 3");
  s.standard_output_file = "korvanda.out";
  const Result r = RunBuiltProgram(s);
  e2e::ExpectRun(r, 239, "position_order", r.standard_output, s.input);
}

// A batch job can be started in states a console never sees; the exit
// status and the files must still tell the truth. What would end the
// process with a signal shows as a failure code, and a start with few
// descriptors to spare changes no file it cannot finish with. Of an answer
// that a file-size limit cuts, what fitted stays; the code says the rest
// did not arrive.
struct StartCase {
  std::string name;
  void (*start)(Scenario&);
  std::optional<std::string> input;
  int status;
  std::string out;
  const char* place;     // where a report that can be read stopped
  bool windows = false;  // a state of the Windows program's own
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class HostileStarts : public testing::TestWithParam<StartCase> {};

TEST_P(HostileStarts, StatusAndFilesTellTheTruth) {
  const StartCase& c = GetParam();
  if (c.windows && !e2e::RunsWindowsProgram())
    GTEST_SKIP() << "the Windows program only: the Windows suite runs it";
  if (const char* why = c.windows ? nullptr : e2e::WhyNotNative())
    GTEST_SKIP() << why;
  Scenario s{.input = c.input, .earlier_output = Earlier};
  c.start(s);
  e2e::ExpectRun(RunBuiltProgram(s), c.status, c.place, c.out, c.input);
}

// Without a usable standard output the report is lost, and only that.
// Under Wine a closed descriptor tests Wine's own start-up, whose exit
// status is then unreliable, not the program; the Windows program gets
// the state its platform has instead, a missing handle. The output cannot
// be opened with four descriptors at most: the earlier answer stays whole.
std::vector<StartCase> Starts() {
  // clang-format off
  std::vector<StartCase> rows = {
    {"StandardOutputWithoutAReader", [](Scenario& s) { s.standard_output_reader_gone = true; }, "2 0", 239, "", ""},
    {"AFileSizeLimitBelowTheAnswer", [](Scenario& s) { s.wrapper = {"prlimit", "--fsize=4", "--"}; },
     Input, EFBIG, "6\r\n4", "close_output"},
    {"StandardInputClosedAndFourDescriptorsAtMost",
     [](Scenario& s) { s.closed_standard_descriptors = {0}; s.wrapper = {"prlimit", "--nofile=4", "--"}; },
     Input, EMFILE, Earlier, "open_output"}};
  for (const bool windows : {false, true}) {
    const auto start = windows ? +[](Scenario& s) { s.no_standard_output_handle = true; }
                               : +[](Scenario& s) { s.closed_standard_descriptors = {0, 1, 2}; };
    const std::string how = windows ? "NoStandardOutputHandle_" : "StandardDescriptorsClosed_";
    rows.push_back({how + "CompleteRun", start, Input, 0, Answer, "", windows});
    rows.push_back({how + "InvalidInput", start, "4 1 3 3", 239, "", "", windows});
    rows.push_back({how + "MissingInput", start, std::nullopt, 2, Earlier, "", windows});
  }
  // clang-format on
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Program, HostileStarts, testing::ValuesIn(Starts()),
                         rows::ByName());

// Address-space randomisation loads the program somewhere else on every
// run; with it turned off the program sits at one fixed address. The site
// must not tell the two apart: every run's is the map's.
TEST(FailureSites, SameWhereverTheProgramIsLoaded) {
  if (const char* why = e2e::WhyNotNative()) GTEST_SKIP() << why;
  for (const bool fixed : {false, true, false}) {
    Scenario s = WithInput("?");
    if (fixed) s.wrapper = {"setarch", "-R", "--"};
    e2e::ExpectRun(RunBuiltProgram(s), 106, "read_count", "", "?");
  }
}

}  // namespace
