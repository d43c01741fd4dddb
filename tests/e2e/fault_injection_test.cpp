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
using e2e::RunProgram;
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
void NewOutput(Scenario& s) { s.earlier_output.reset(); }
void DescriptorsClosed(Scenario& s) { s.standard_descriptors_closed = true; }

struct FaultCase {
  const char* name;
  // strace's words, split at spaces: -P FILE -e inject=...; "{folder}"
  // stands for the run's folder, for a file not there when strace starts.
  const char* faults;
  int status;  // 0 for a complete run
  std::optional<std::string> out;
  const char* place = nullptr;  // the stop place a stop must report
  std::function<void(Scenario&)> more = [](Scenario&) {};
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class InjectedFault : public testing::TestWithParam<FaultCase> {};

TEST_P(InjectedFault, ExitStatusReportAndOutputFile) {
  if (const char* why = e2e::WhyNotNative()) GTEST_SKIP() << why;
  if (!Have("strace")) GTEST_SKIP() << "needs strace";
  const FaultCase& c = GetParam();
  Scenario s;
  s.input = "4 1 3 4";
  s.earlier_output = Earlier;
  c.more(s);
  s.wrapper = {"strace", "-o", "/dev/null"};
  std::istringstream words(c.faults);
  for (std::string word; words >> word;) s.wrapper.push_back(word);
  Result r = RunProgram(s);
  ASSERT_TRUE(r.exited) << "signal " << r.signal;
  EXPECT_EQ(r.status, c.status);
  if (c.status == 0) {
    EXPECT_EQ(r.standard_output, "");
  } else if (!s.standard_descriptors_closed) {
    ASSERT_NE(c.place, nullptr) << "a stop names its place";
    e2e::ExpectReport(r.standard_output, c.status, c.place);
  }
  EXPECT_EQ(r.output_after, c.out);
  EXPECT_EQ(r.link_target_after,
            s.names == Names::OutputDanglingLink ? c.out : std::nullopt);
  EXPECT_EQ(r.input_after, s.input);
}

// Each kind of system call the program makes, failing with its code passed
// through, and interrupted; and what needs the real kernel: locks, links,
// devices, descriptors. What the streams and the stop do around a failure
// is the same on every platform and shown over the in-memory one.
INSTANTIATE_TEST_SUITE_P(
    Release, InjectedFault,
    testing::Values(
        FaultCase{.name = "OutputCannotBeCreated",
                  .faults = "-P korvanda.out -e inject=openat:error=EPERM",
                  .status = EPERM,
                  .out = Earlier,
                  .place = "open_output"},
        // Whether the output is held by anyone, the input under another
        // name included, cannot be told: nothing is emptied. (strace
        // follows the link, so the second look is the output's.)
        FaultCase{
            .name = "LookAtTheOutputFails",
            .faults = "-P korvanda.out -e inject=newfstatat:error=EIO:when=2",
            .status = EIO,
            .out = "4 1 3 4",
            .place = "open_output",
            .more =
                [](Scenario& s) {
                  s.names = Names::OutputSymbolicLinkToInput;
                }},
        FaultCase{.name = "LockOnTheOutputFails",
                  .faults = "-P korvanda.out -e inject=fcntl:error=EIO",
                  .status = EIO,
                  .out = Earlier,
                  .place = "open_output"},
        FaultCase{.name = "EmptyingTheOutputFails",
                  .faults = "-P korvanda.out -e inject=ftruncate:error=EIO",
                  .status = EIO,
                  .out = Earlier,
                  .place = "open_output"},
        // A refused run leaves no file it made, where it holds the file's
        // lock or no run can lock; one another run locked first is that
        // run's; and one the run cannot find again stays.
        FaultCase{
            .name = "NewOutputWithoutLocksIsRemoved",
            .faults = "-P {folder}/korvanda.out -e inject=fcntl:error=ENOLCK",
            .status = ENOLCK,
            .out = std::nullopt,
            .place = "open_output",
            .more = NewOutput},
        FaultCase{
            .name = "NewOutputThroughALinkWithoutLocksIsRemoved",
            .faults = "-P {folder}/answer.txt -e inject=fcntl:error=ENOLCK",
            .status = ENOLCK,
            .out = std::nullopt,
            .place = "open_output",
            .more = [](Scenario& s) { s.names = Names::OutputDanglingLink; }},
        FaultCase{
            .name = "NewOutputAnotherRunLockedFirstIsLeft",
            .faults = "-P {folder}/korvanda.out -e inject=fcntl:error=EAGAIN",
            .status = EBUSY,
            .out = "",
            .place = "open_output",
            .more = NewOutput},
        // (No -P: it would hide the look in /proc. The output's lock is
        // the second fcntl, after the input's; the C library's start-up
        // makes the first readlink.)
        FaultCase{.name = "NewOutputNotFoundAgainIsLeft",
                  .faults = "-e inject=fcntl:error=ENOLCK:when=2 "
                            "-e inject=readlink:error=ENOENT:when=2",
                  .status = ENOLCK,
                  .out = "",
                  .place = "open_output",
                  .more = NewOutput},
        // Started with the standard descriptors closed, a file opened
        // lands on one of them and must move; with no descriptor above
        // them left, the run is refused, and a new output removed.
        FaultCase{
            .name = "NoDescriptorAboveTheStandardOnesForTheInput",
            .faults = "-P korvanda.in -e inject=fcntl:error=EMFILE:when=2",
            .status = EMFILE,
            .out = Earlier,
            .more = DescriptorsClosed},
        FaultCase{.name = "NoDescriptorAboveTheStandardOnesForANewOutput",
                  .faults = "-P {folder}/korvanda.out "
                            "-e inject=fcntl:error=EMFILE:when=2",
                  .status = EMFILE,
                  .out = std::nullopt,
                  .more =
                      [](Scenario& s) {
                        NewOutput(s);
                        DescriptorsClosed(s);
                      }},
        // A device's reads and writes wait as usual once open.
        FaultCase{
            .name = "ADeviceThatStaysNonBlockingIsRefused",
            .faults = "-P /dev/null -e inject=fcntl:error=EIO",
            .status = EIO,
            .out = std::nullopt,
            .place = "open_output",
            .more = [](Scenario& s) { s.names = Names::OutputNullDevice; }},
        FaultCase{.name = "FirstReadFails",
                  .faults = "-P korvanda.in -e inject=read:error=EIO:when=1",
                  .status = EIO,
                  .out = "",
                  .place = "read_count"},
        FaultCase{.name = "CloseOfInputFails",
                  .faults = "-P korvanda.in -e inject=close:error=EIO",
                  .status = EIO,
                  .out = Answer,
                  .place = "close_input"},
        FaultCase{.name = "WriteOutAtCloseFails",
                  .faults = "-P korvanda.out -e inject=write:error=ENOSPC",
                  .status = ENOSPC,
                  .out = "",
                  .place = "close_output"},
        // The first write is said to take 3 bytes (strace writes none):
        // the rest follows from the fourth.
        FaultCase{.name = "ShortWriteGoesOn",
                  .faults = "-P korvanda.out -e inject=write:retval=3:when=1",
                  .status = 0,
                  .out = Answer.substr(3)},
        FaultCase{.name = "WriteTakesNothing",
                  .faults = "-P korvanda.out -e inject=write:retval=0",
                  .status = EIO,
                  .out = "",
                  .place = "close_output"},
        FaultCase{.name = "CloseOfOutputFails",
                  .faults = "-P korvanda.out -e inject=close:error=EIO",
                  .status = EIO,
                  .out = Answer,
                  .place = "close_output"},
        // Interrupted calls are retried, not taken for failures.
        FaultCase{.name = "InterruptedOpensRetried",
                  .faults = "-P korvanda.in -P korvanda.out "
                            "-e inject=openat:error=EINTR:when=1..2",
                  .status = 0,
                  .out = Answer},
        FaultCase{
            .name = "InterruptedReadsRetried",
            .faults = "-P korvanda.in -e inject=read:error=EINTR:when=1..3",
            .status = 0,
            .out = LongAnswer(),
            .more = [](Scenario& s) { s.input = LongInput(); }},
        FaultCase{
            .name = "InterruptedLookRetried",
            .faults = "-P korvanda.in -e inject=newfstatat:error=EINTR:when=1",
            .status = 0,
            .out = Answer},
        // The descriptor is gone all the same: the close is done.
        FaultCase{.name = "InterruptedCloseIsDone",
                  .faults = "-P korvanda.out -e inject=close:error=EINTR",
                  .status = 0,
                  .out = Answer},
        FaultCase{
            .name = "InterruptedWriteRetried",
            .faults = "-P korvanda.out -e inject=write:error=EINTR:when=1",
            .status = 0,
            .out = Answer}),
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
    return "needs an uninstrumented build (this one counts or sanitizes)";
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
  Result r = RunProgram(s);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output_after, "1000020000\r\n50000 2\r\n3 1\r\n");
}

TEST(Memory, LargestInputMakesNoHeapAllocation) {
  if (const char* why = WhyNotMeasurable("valgrind", "needs valgrind"))
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
  if (const char* why = WhyNotMeasurable("/usr/bin/time", "needs GNU time"))
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
