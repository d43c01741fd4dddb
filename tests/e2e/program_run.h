// Runs the built program in a folder of its own, the way its users do, and
// collects every byte it leaves behind. Whatever the harness itself cannot
// set up, or waits for in vain, fails the test as the harness's fault,
// never as the program's status.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct Scenario {
  // Contents of "korvanda.in"; none means no such file.
  std::optional<std::string> input = {};
  // Contents of a "korvanda.out" left by an earlier run.
  std::optional<std::string> earlier_output = {};
  // The folder the run starts in, when korvanda.in and korvanda.out are
  // not files of their own.
  enum class Folder {
    Own,
    NoInput,
    InputFolder,
    OutputFolder,
    // Another process holds korvanda.in open without sharing it; and, once
    // the run has opened it too, it is renamed to saved.in and a new one
    // put in its place: input_after is then saved.in's.
    InputHeld,
    InputHeldThenRenamed,
    OutputLinkToInput,
    OutputHardLinkToInput,
    OutputNullDevice,
    // korvanda.out a link to "answer.txt", which is not there yet.
    OutputDanglingLink,
    // korvanda.out a link to "missing/answer": no such folder.
    OutputIntoMissingFolder,
    // korvanda.in the null device, korvanda.out the zero device.
    NullAndZeroDevice,
    // Both names links to the null device.
    BothNullDevice,
    // korvanda.in a link to the null device, korvanda.out a device node of
    // its own for the same device.
    NullAndAnotherNodeOfIt,
    // Both names links to one loop device over a file holding the input.
    BothOneBlockDevice,
    // korvanda.in a FIFO; a writer, waiting for the program to open it,
    // puts the input in and closes it. And the same with korvanda.out a
    // link to it.
    InputFifo,
    InputFifoOutputLinkToIt,
    // A second run starts while this one is held waiting on a FIFO: in the
    // same folder, this one waiting for its input; or in a folder of its
    // own whose korvanda.out is a link to this one's input, this one
    // waiting to open its output. The result is then the second run's;
    // the held run's own is in held_status and held_answer.
    SecondRunSameFolder,
    SecondRunOutputLinkedToInput,
  };
  Folder folder = Folder::Own;
  // The hostile starting states a batch job can be given: the standard
  // descriptors it starts without (say {0}, or {0, 1, 2}), ...
  std::vector<int> closed_standard_descriptors = {};
  bool standard_output_reader_gone = false;
  // Standard output opened on this file of the folder, for reading and
  // writing, not emptied (as "1<>korvanda.in" opens it), or, after ">>",
  // for appending; what it holds afterwards is the result's standard
  // output.
  std::string standard_output_file = {};
  // The Windows program starts with no standard output handle at all.
  bool no_standard_output_handle = false;
  // Runs the program under this command, e.g. strace with a fault; it
  // starts in the scratch folder.
  std::vector<std::string> wrapper = {};
  // Runs the dynamically linked build of the same program instead.
  bool dynamically_linked = false;
};

struct Result {
  bool exited = false;  // false when a signal ended it
  int status = -1;
  int signal = 0;
  std::string standard_output;
  std::optional<std::string> input_after;
  std::optional<std::string> output_after;  // of a regular file
  // Of "answer.txt", where korvanda.out leads when it is a dangling link.
  std::optional<std::string> link_target_after;
  int output_permissions = -1;  // of a regular "korvanda.out"
  int held_status = -1;
  std::optional<std::string> held_answer;
  // Why the scenario could not be made on this machine, if it could not.
  std::string cannot;
};

// Starts the built program as a process of its own, in a new folder set up
// as `setup` says, and collects what it left. (The body alone runs in the
// test's own process over the in-memory platform:
// harness::RunBody.)
Result RunBuiltProgram(const Scenario& setup);

// A new folder under the build's scratch folder, removed with all it holds
// when this goes; one that a killed test left is swept after the suite.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Which program the suite runs and how: the native program, or the Windows
// program under a launcher.
const std::string& ProgramPath();
bool RunsWindowsProgram();
// Why the program under test is not a native Linux process that a tracer,
// a measuring tool or a hostile start can reach directly; null when it is.
const char* WhyNotNative();
// The stop places of the program under test, by name, with the value
// each must report, from the map the build writes beside it.
const std::map<std::string, std::uint32_t>& StopPlaces();
// Standard output holds one well-formed report line with `status` and the
// value the map gives `place`.
void ExpectReport(const std::string& standard_output, int status,
                  const std::string& place);
// The run ended, not by a signal, with `status`, and left korvanda.out and
// korvanda.in so. Standard output holds nothing after a complete run, and
// after a stop the report of `place`, which a stop must name: "" where no
// report can be read, "-" where none may be written.
void ExpectRun(const Result& r, int status, const char* place,
               const std::optional<std::string>& out,
               const std::optional<std::string>& input_after);
// The exit status the table of statuses gives `name` on the system the
// program under test runs on, and what it means.
int ExitStatus(const std::string& name);
std::string StatusMeaning(const std::string& name);
// What korvanda-explain says of a report line of the program under test.
std::string Explained(const std::string& standard_output);

// The permissions a program gives a file it creates: 0666 less the
// process's umask.
int NewFilePermissions();

std::string ReadFile(const std::string& path);

}  // namespace e2e
