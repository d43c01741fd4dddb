// The release program under real system-call failures, injected by strace
// on a chosen file, and its use of memory on the largest valid input.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <string>

#include "program_run.h"
#include "rows.h"

namespace {

using namespace e2e;
using namespace rows;
using Folder = Scenario::Folder;

bool Have(const char* tool) {
  return std::system(
             (std::string("command -v ") + tool + " >/dev/null").c_str()) == 0;
}

// Why strace cannot fail a call here, or null. A build daemon may refuse
// ptrace, and a tracer already on the test leaves no room for another.
const char* WhyNoTracer() {
  static const char* const why =
      !Have("strace") ? "needs strace, which is not installed"
      : std::system("strace -o /dev/null true >/dev/null 2>&1") != 0
          ? "needs ptrace, which this machine refuses to strace"
          : nullptr;
  return why;
}

struct FaultCase {
  std::string name;
  // Split at spaces: the files strace traces (a word without a colon; in
  // and out for korvanda.in and korvanda.out) and what it injects.
  std::string faults;
  int status;  // 0 for a complete run
  std::optional<std::string> out;
  const char* place;  // the stop place a stop must report
  // What a row needs besides the input "4 1 3 4" and an earlier answer:
  // standard output opened on this file of the folder, as for
  // Scenario::standard_output_file; the folder.
  const char* standard_output = "";
  Folder folder = Folder::Own;
  bool descriptors_closed = false;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class InjectedFault : public testing::TestWithParam<FaultCase> {};

TEST_P(InjectedFault, ExitStatusReportAndOutputFile) {
  if (const char* why = e2e::WhyNotNative()) GTEST_SKIP() << why;
  if (const char* why = WhyNoTracer()) GTEST_SKIP() << why;
  const FaultCase& c = GetParam();
  Scenario s{.input = Input,
             .earlier_output = Earlier,
             .folder = c.folder,
             .standard_output_file = c.standard_output,
             .wrapper = {"strace", "-o", "/dev/null"}};
  if (c.descriptors_closed) s.closed_standard_descriptors = {0, 1, 2};
  std::istringstream words(c.faults);
  for (std::string word; words >> word;) {
    const bool file = word.find(':') == std::string::npos;
    if (word == "in" || word == "out") word = "korvanda." + word;
    s.wrapper.push_back(file ? "-P" : "-e");
    s.wrapper.push_back(file ? word : "inject=" + word);
  }
  // korvanda.out as standard output holds what standard output got.
  const Result r = RunBuiltProgram(s);
  const bool own = s.standard_output_file == "korvanda.out";
  e2e::ExpectRun(r, c.status, c.place, own ? r.standard_output : c.out,
                 c.folder == Folder::InputFifo ? std::nullopt : s.input);
}

using enum Scenario::Folder;
const bool Closed = true;
const char* const Ok = nullptr;

// Each kind of system call the program makes, failing with its code passed
// through, and interrupted; and what needs the real kernel: locks, links,
// devices, descriptors. What the streams and the stop do around a failure
// is the same on every platform and shown over the in-memory one.
// clang-format off
const FaultCase Rows[] = {
  // name, faults, status, korvanda.out after, place[, standard output, folder, standard descriptors closed]
  {"OpenatOfTheOutputFails", "out openat:error=EPERM", EPERM, Earlier, "open_output"},
  // Whether the output is held by anyone, the input under another name
  // included, cannot be told: nothing is emptied.
  {"FstatOfTheOutputFails", "out newfstatat:error=EIO", EIO, Input, "open_output", "", OutputHardLinkToInput},
  {"FtruncateOfTheOutputFails", "out ftruncate:error=EIO", EIO, Earlier, "open_output"},
  // A conflict some file systems report as EACCES is a conflict.
  {"FcntlLockOfTheOutputSaysEacces", "out fcntl:error=EACCES", EBUSY, Earlier, "open_output"},
  {"FcntlLockOfTheInputSaysEnolck", "in fcntl:error=ENOLCK", 0, Answer, Ok},
  {"FcntlLocksSayEnolckAndTheOutputIsAHardLinkToTheInput", "in out fcntl:error=ENOLCK", EBUSY, Input, "open_output", "",
   OutputHardLinkToInput},
  // A FIFO is opened once, waiting for its writer: a writer that is done
  // before the run reads has left the input in it.
  {"OpenatOfAFifoInputDelayedTillItsWriterIsDone", "in openat:delay_enter=300000:when=2", 0, Answer, Ok, "", InputFifo},
  // With standard descriptors closed, the null device takes them before
  // any file is opened; a run that cannot open it touches no file. A code
  // whose low 8 bits are all zero must not pass for success.
  {"OpenatOfTheNullDeviceForAClosedDescriptorFails", "/dev/null openat:error=ENFILE", ENFILE, Earlier, "", "", Own,
   Closed},
  {"OpenatOfTheNullDeviceFailsWith512", "/dev/null openat:error=512", 255, Earlier, "", "", Own, Closed},
  {"ReadOfTheInputFails", "in read:error=EIO:when=1", EIO, "", "read_count"},
  {"CloseOfTheInputFails", "in close:error=EIO", EIO, Answer, "close_input"},
  {"WriteOfTheOutputFails", "out write:error=ENOSPC", ENOSPC, "", "close_output"},
  // The first write is said to take 3 bytes (strace writes none): the
  // rest follows from the fourth.
  {"WriteOfTheOutputIsShort", "out write:retval=3:when=1", 0, Answer.substr(3), Ok},
  {"WriteOfTheOutputReturnsZero", "out write:retval=0", EIO, "", "close_output"},
  {"CloseOfTheOutputFails", "out close:error=EIO", EIO, Answer, "close_output"},
  {"CloseOfTheOutputFailsAndStandardOutputIsIt", "out close:error=EIO", EIO, "", "close_output", "korvanda.out"},
  // The report goes to standard output whole, in one write, and never into
  // the input: not where the look at standard output fails, nor where the
  // input could not be opened and the look at its name fails. A name that
  // leads nowhere has nothing to protect.
  {"TheReportIsOneWrite", "in report read:error=EIO:when=1 write:error=EIO:when=2", EIO, "", "read_count", "report"},
  {"FstatOfStandardOutputFails", "in read:error=EIO:when=1 newfstatat:error=ENOMEM:when=2", EIO, "", "", "korvanda.in"},
  {"OpenatOfTheInputFailsAndStandardOutputIsIt", "in openat:error=EACCES", EACCES, Earlier, "", "korvanda.in"},
  // Nor where the look at whether another holds standard output fails;
  // where no locks are offered, the comparisons decide.
  {"FcntlProbeOfStandardOutputFails", "in report read:error=EIO:when=1 fcntl:error=EIO:when=3", EIO, "", "-", "report"},
  {"FcntlProbeOfStandardOutputSaysEnolck", "in report read:error=EIO:when=1 fcntl:error=ENOLCK:when=3", EIO, "",
   "read_count", "report"},
  {"StatOfTheInputsNameFails", "in openat:error=EACCES newfstatat:error=EOVERFLOW:when=2", EACCES, Earlier, "",
   "korvanda.in"},
  {"StatOfTheInputsNameSaysEIO", "in openat:error=EACCES newfstatat:error=EIO:when=2", EACCES, Earlier, "",
   "korvanda.in"},
  // Nor where the input, refused its lock, is renamed before the report.
  {"TheInputRefusedItsLockIsRenamed", "in openat:delay_exit=1000000:when=1", EBUSY, Earlier, "", "korvanda.in",
   InputHeldThenRenamed},
  {"StatOfTheInputsNameSaysENOENT", "in openat,newfstatat:error=ENOENT", ENOENT, Earlier, "open_input", "report"},
  {"StatOfTheInputsNameSaysENOTDIR", "in openat,newfstatat:error=ENOTDIR", ENOTDIR, Earlier, "open_input", "report"},
  {"StatOfTheInputsNameSaysELOOP", "in openat,newfstatat:error=ELOOP", ELOOP, Earlier, "open_input", "report"},
  // Nor where the look at a file the run opened failed.
  {"FstatOfTheInputFailsAndStandardOutputIsAFile", "in newfstatat:error=EIO:when=1", EIO, Earlier, "-", "report"},
  {"FstatOfTheOutputFailsAndStandardOutputIsAFile", "out newfstatat:error=EIO", EIO, Earlier, "-", "report"},
  // Interrupted calls are made again, not taken for failures; an
  // interrupted close has closed all the same.
  {"EveryKindOfCallInterruptedOnce", "in out openat,newfstatat,fcntl,ftruncate,read,write,close:error=EINTR:when=1", 0,
   Answer, Ok},
  // Where the file system offers no locks, whatever it answers, the run
  // goes on without them; the input is known by its identity all the same.
  // Any other answer of a lock refuses the run with its code.
  {"FcntlLocksOfBothSayENOLCK", "in out fcntl:error=ENOLCK", 0, Answer, Ok},
  {"FcntlLocksOfBothSayEINVAL", "in out fcntl:error=EINVAL", 0, Answer, Ok},
  {"FcntlLocksOfBothSayENOSYS", "in out fcntl:error=ENOSYS", 0, Answer, Ok},
  {"FcntlLocksOfBothSayEOPNOTSUPP", "in out fcntl:error=EOPNOTSUPP", 0, Answer, Ok},
  {"FcntlLockOfTheOutputSaysEIO", "out fcntl:error=EIO", EIO, Earlier, "open_output"},
  {"FcntlLockOfTheOutputSaysEOVERFLOW", "out fcntl:error=EOVERFLOW", EOVERFLOW, Earlier, "open_output"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Release, InjectedFault, testing::ValuesIn(Rows),
                         rows::ByName());

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
const char* WhyNotMeasurable(const char* tool) {
  if (const char* why = e2e::WhyNotNative()) return why;
  if (KORVANDA_INSTRUMENTED) {
    return "the uninstrumented program only: this build counts or sanitizes";
  }
  return Have(tool) ? nullptr : "needs a measuring tool that is not installed";
}

// The largest valid input under a measuring tool, which must not change
// the answer; what the tool wrote to the file named at the end of its
// last word.
std::string MeasureLargest(std::vector<std::string> tool,
                           bool dynamically_linked = false) {
  e2e::ScratchFolder scratch;
  const std::string file = (scratch.Path() / "measured").string();
  tool.back() += file;
  const Scenario s{.input = LargestPaddedInput(),
                   .wrapper = std::move(tool),
                   .dynamically_linked = dynamically_linked};
  Result r = RunBuiltProgram(s);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output_after, "1000020000\r\n50000 2\r\n3 1\r\n");
  return e2e::ReadFile(file);
}

// The shipped program is static, and a heap checker sees only an
// allocator linked in at run time: the same code, linked dynamically.
TEST(Memory, LargestInputMakesNoHeapAllocation) {
  if (const char* why = WhyNotMeasurable("valgrind")) GTEST_SKIP() << why;
  const std::string report = MeasureLargest({"valgrind", "--log-file="}, true);
  EXPECT_NE(
      report.find("total heap usage: 0 allocs, 0 frees, 0 bytes allocated"),
      std::string::npos)
      << report;
}

// Nothing grows with the input: the figure is the program, the C library and
// the measuring tool's own start. GNU time measures from its own small
// process: a child forked from this test would carry the test's memory
// into the figure.
TEST(Memory, LargestInputStaysWithinTheResidentBound) {
  if (const char* why = WhyNotMeasurable("/usr/bin/time")) GTEST_SKIP() << why;
  const long peak_kib = std::atol(
      MeasureLargest({"/usr/bin/time", "-f", "%M", "-o", ""}).c_str());
  EXPECT_GT(peak_kib, 0);
  EXPECT_LE(peak_kib, 1536);
  RecordProperty("peak_resident_kib", std::to_string(peak_kib));
}

}  // namespace
