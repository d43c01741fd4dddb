// The release program under real system-call failures, injected by strace
// on a chosen file, and its use of memory on the largest valid input.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>

#include "program_run.h"
#include "report_line.h"

namespace {

using e2e::Result;
using e2e::RunBuiltProgram;
using e2e::Scenario;

const std::string Earlier = "an answer left by an earlier run\r\n";
const std::string Answer = "6\r\n4 2\r\n3 1\r\n";

bool Have(const char* tool) {
  return std::system(
             (std::string("command -v ") + tool + " >/dev/null").c_str()) == 0;
}

// Long enough that reading the positions takes several 128-byte blocks.
std::string LongInput() {
  std::string text = "100";
  for (int i = 1; i < 100; ++i) text += " " + std::to_string(i * 1000);
  return text;
}

std::string LongAnswer() { return "100000\r\n100 2\r\n3 1\r\n"; }

// What a row needs besides the input "4 1 3 4" and an earlier answer.
using Names = Scenario::Names;
void DescriptorsClosed(Scenario& s) {
  s.closed_standard_descriptors = {0, 1, 2};
}

struct FaultCase {
  std::string name;
  // strace's words, split at spaces: -P FILE -e inject=...; "{folder}"
  // stands for the run's folder, for a file not there when strace starts.
  std::string faults;
  int status;  // 0 for a complete run
  std::optional<std::string> out;
  const char* place = nullptr;  // the stop place a stop must report
  std::function<void(Scenario&)> more = [](Scenario&) {};
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class InjectedFault : public testing::TestWithParam<FaultCase> {};

TEST_P(InjectedFault, ExitStatusReportAndOutputFile) {
  if (const char* why = e2e::WhyNotNative()) GTEST_SKIP() << why;
  if (!Have("strace")) GTEST_SKIP() << "needs strace, which is not installed";
  const FaultCase& c = GetParam();
  Scenario s;
  s.input = "4 1 3 4";
  s.earlier_output = Earlier;
  c.more(s);
  s.wrapper = {"strace", "-o", "/dev/null"};
  std::istringstream words(c.faults);
  for (std::string word; words >> word;) s.wrapper.push_back(word);
  Result r = RunBuiltProgram(s);
  ASSERT_TRUE(r.exited) << "signal " << r.signal;
  EXPECT_EQ(r.status, c.status);
  if (c.status == 0) {
    EXPECT_EQ(r.standard_output, "");
  } else if (s.closed_standard_descriptors.empty()) {
    ASSERT_NE(c.place, nullptr) << "a stop names its place";
    e2e::ExpectReport(r.standard_output, c.status, c.place);
  }
  EXPECT_EQ(r.output_after, c.out);
  EXPECT_EQ(r.link_target_after,
            s.names == Names::OutputDanglingLink ? c.out : std::nullopt);
  EXPECT_EQ(r.input_after, s.input_through_fifo ? std::nullopt : s.input);
}

// Each kind of system call the program makes, failing with its code passed
// through, and interrupted; and what needs the real kernel: locks, links,
// devices, descriptors. What the streams and the stop do around a failure
// is the same on every platform and shown over the in-memory one.
const FaultCase Rows[] = {
    FaultCase{.name = "OpenatOfTheOutputFails",
              .faults = "-P korvanda.out -e inject=openat:error=EPERM",
              .status = EPERM,
              .out = Earlier,
              .place = "open_output"},
    // Whether the output is held by anyone, the input under another
    // name included, cannot be told: nothing is emptied. (strace
    // follows the link, so the second look is the output's.)
    FaultCase{
        .name = "FstatOfTheOutputFails",
        .faults = "-P korvanda.out -e inject=newfstatat:error=EIO:when=2",
        .status = EIO,
        .out = "4 1 3 4",
        .place = "open_output",
        .more =
            [](Scenario& s) { s.names = Names::OutputSymbolicLinkToInput; }},
    FaultCase{.name = "FtruncateOfTheOutputFails",
              .faults = "-P korvanda.out -e inject=ftruncate:error=EIO",
              .status = EIO,
              .out = Earlier,
              .place = "open_output"},
    // A conflict some file systems report as EACCES is a conflict.
    FaultCase{.name = "FcntlLockOfTheOutputSaysEacces",
              .faults = "-P korvanda.out -e inject=fcntl:error=EACCES",
              .status = EBUSY,
              .out = Earlier,
              .place = "open_output"},
    // Whether the output holds anything is asked again under the lock.
    FaultCase{.name = "FstatOfTheOutputUnderItsLockFails",
              .faults = "-P korvanda.out -e inject=newfstatat:error=EIO:when=2",
              .status = EIO,
              .out = Earlier,
              .place = "open_output"},
    FaultCase{.name = "FcntlLockOfTheInputSaysEnolck",
              .faults = "-P korvanda.in -e inject=fcntl:error=ENOLCK",
              .status = 0,
              .out = Answer},
    FaultCase{
        .name = "FcntlLocksSayEnolckAndTheOutputIsAHardLinkToTheInput",
        .faults = "-P korvanda.in -P korvanda.out "
                  "-e inject=fcntl:error=ENOLCK",
        .status = EBUSY,
        .out = "4 1 3 4",
        .place = "open_output",
        .more = [](Scenario& s) { s.names = Names::OutputHardLinkToInput; }},
    // A FIFO is opened once, waiting for its writer: a writer that is
    // done before the run reads has left the input in it.
    FaultCase{.name = "OpenatOfAFifoInputDelayedTillItsWriterIsDone",
              .faults = "-P korvanda.in "
                        "-e inject=openat:delay_enter=300000:when=2",
              .status = 0,
              .out = Answer,
              .more = [](Scenario& s) { s.input_through_fifo = true; }},
    // With standard descriptors closed, the null device takes them
    // before any file is opened; a run that cannot open it touches no
    // file.
    FaultCase{.name = "OpenatOfTheNullDeviceForAClosedDescriptorFails",
              .faults = "-P /dev/null -e inject=openat:error=ENFILE",
              .status = ENFILE,
              .out = Earlier,
              .more = DescriptorsClosed},
    // A code whose low 8 bits are all zero must not pass for success.
    FaultCase{.name = "OpenatOfTheNullDeviceFailsWith512",
              .faults = "-P /dev/null -e inject=openat:error=512",
              .status = 255,
              .out = Earlier,
              .more = DescriptorsClosed},
    FaultCase{.name = "ReadOfTheInputFails",
              .faults = "-P korvanda.in -e inject=read:error=EIO:when=1",
              .status = EIO,
              .out = "",
              .place = "read_count"},
    FaultCase{.name = "CloseOfTheInputFails",
              .faults = "-P korvanda.in -e inject=close:error=EIO",
              .status = EIO,
              .out = Answer,
              .place = "close_input"},
    FaultCase{.name = "WriteOfTheOutputFails",
              .faults = "-P korvanda.out -e inject=write:error=ENOSPC",
              .status = ENOSPC,
              .out = "",
              .place = "close_output"},
    // The first write is said to take 3 bytes (strace writes none):
    // the rest follows from the fourth.
    FaultCase{.name = "WriteOfTheOutputIsShort",
              .faults = "-P korvanda.out -e inject=write:retval=3:when=1",
              .status = 0,
              .out = Answer.substr(3)},
    FaultCase{.name = "WriteOfTheOutputReturnsZero",
              .faults = "-P korvanda.out -e inject=write:retval=0",
              .status = EIO,
              .out = "",
              .place = "close_output"},
    FaultCase{.name = "CloseOfTheOutputFails",
              .faults = "-P korvanda.out -e inject=close:error=EIO",
              .status = EIO,
              .out = Answer,
              .place = "close_output"},
    // Interrupted calls are made again, not taken for failures; an
    // interrupted close has closed all the same.
    FaultCase{.name = "EveryKindOfCallInterruptedOnce",
              .faults = "-P korvanda.in -P korvanda.out "
                        "-e inject=openat,newfstatat,fcntl,ftruncate,read,"
                        "write,close:error=EINTR:when=1",
              .status = 0,
              .out = LongAnswer(),
              .more = [](Scenario& s) { s.input = LongInput(); }},
};

// Where the file system offers no locks, whatever it answers, the run
// goes on without them; the input is known by its identity all the same.
// Any other answer of a lock refuses the run with its code.
std::vector<FaultCase> WithEveryFileSystemWithoutLocks() {
  std::vector<FaultCase> rows(std::begin(Rows), std::end(Rows));
  for (const auto& [error, code] :
       {std::pair{"EIO", EIO}, {"EOVERFLOW", EOVERFLOW}}) {
    rows.push_back(
        {.name = std::string("FcntlLockOfTheOutputSays") + error,
         .faults =
             std::string("-P korvanda.out -e inject=fcntl:error=") + error,
         .status = code,
         .out = Earlier,
         .place = "open_output"});
  }
  for (const std::string error : {"ENOLCK", "EINVAL", "ENOSYS", "EOPNOTSUPP"}) {
    rows.push_back({.name = "FcntlLocksOfBothSay" + error,
                    .faults = "-P korvanda.in -P korvanda.out "
                              "-e inject=fcntl:error=" +
                              error,
                    .status = 0,
                    .out = Answer});
  }
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Release, InjectedFault,
                         testing::ValuesIn(WithEveryFileSystemWithoutLocks()),
                         [](const testing::TestParamInfo<FaultCase>& param) {
                           return param.param.name;
                         });

std::string LargestPaddedInput() {
  std::string text = "50000";
  for (int i = 1; i < 50000; ++i) {
    text += std::string(40, i % 2 ? ' ' : '\t') +
            std::to_string(1000000000 - 20000 * (50000 - 1 - i));
    if (i % 7 == 0) text += "\r\n";
  }
  return text + "\r\n";
}

// Why the shipped program's memory cannot be measured here, or null. A
// sanitized or counting build allocates and maps memory for its own
// bookkeeping.
const char* WhyNotMeasurable(const char* tool, const char* needs) {
  if (const char* why = e2e::WhyNotNative()) return why;
  if (KORVANDA_INSTRUMENTED) {
    return "the uninstrumented program only: this build counts or sanitizes";
  }
  if (!Have(tool)) return needs;
  return nullptr;
}

// The largest valid input under a measuring tool, which must not change
// the answer.
void RunLargestUnder(std::vector<std::string> tool,
                     bool dynamically_linked = false) {
  Scenario s;
  s.dynamically_linked = dynamically_linked;
  s.input = LargestPaddedInput();
  s.wrapper = std::move(tool);
  Result r = RunBuiltProgram(s);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output_after, "1000020000\r\n50000 2\r\n3 1\r\n");
}

TEST(Memory, LargestInputMakesNoHeapAllocation) {
  if (const char* why = WhyNotMeasurable(
          "valgrind", "needs valgrind, which is not installed"))
    GTEST_SKIP() << why;
  e2e::ScratchFolder scratch;
  std::string log = (scratch.Path() / "valgrind.log").string();
  // The shipped program is static, and a heap checker sees only an
  // allocator linked in at run time: the same code, linked dynamically.
  RunLargestUnder({"valgrind", "--log-file=" + log}, true);
  std::string report = e2e::ReadFile(log);
  EXPECT_NE(
      report.find("total heap usage: 0 allocs, 0 frees, 0 bytes allocated"),
      std::string::npos)
      << report;
}

// The positions take 200 KB; the rest is the program, the C library and
// the measuring tool's own start.
constexpr long PeakResidentBoundKib = 4096;

// GNU time measures from its own small process: a child forked from this
// test would carry the test's memory into the figure.
TEST(Memory, LargestInputStaysWithinTheResidentBound) {
  if (const char* why = WhyNotMeasurable(
          "/usr/bin/time", "needs GNU time, which is not installed"))
    GTEST_SKIP() << why;
  e2e::ScratchFolder scratch;
  std::string measure = (scratch.Path() / "peak.txt").string();
  RunLargestUnder({"/usr/bin/time", "-f", "%M", "-o", measure});
  long peak_kib = std::atol(e2e::ReadFile(measure).c_str());
  EXPECT_GT(peak_kib, 0);
  EXPECT_LE(peak_kib, PeakResidentBoundKib);
  RecordProperty("peak_resident_kib", std::to_string(peak_kib));
}

}  // namespace
