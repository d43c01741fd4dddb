// Runs the built program in a fresh temporary folder, the way its users
// do, and collects every byte it leaves behind.
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
  std::optional<std::string> input;
  // Contents of a "korvanda.out" left by an earlier run.
  std::optional<std::string> earlier_output;
  bool input_is_folder = false;
  bool output_is_folder = false;
  // "korvanda.out" made another name of "korvanda.in", or of a device.
  enum class OutputName {
    Own,
    SymbolicLinkToInput,
    HardLinkToInput,
    NullDevice
  };
  OutputName output_name = OutputName::Own;
  // The hostile starting states a batch job can be given.
  bool standard_descriptors_closed = false;
  bool standard_output_reader_gone = false;
  long file_size_limit_bytes = -1;
  // Another process holds "korvanda.in" open without sharing it.
  bool input_held_unshared = false;
  // The Windows program starts with no standard output handle at all.
  bool no_standard_output_handle = false;
  // Runs the program under this command, e.g. strace with a fault; it
  // starts in the scratch folder.
  std::vector<std::string> wrapper;
  // Runs the dynamically linked build of the same program instead.
  bool dynamically_linked = false;
  // A second run starts while this one is held waiting on a FIFO: in the
  // same folder, this one waiting for its input; or in a folder of its own
  // whose "korvanda.out" is a link to this one's input, this one waiting
  // to open its output. The result is then the second run's; the held
  // run's own is in held_status and held_answer.
  enum class SecondRun { None, SameFolder, OutputLinkedToInput };
  SecondRun second_run = SecondRun::None;
};

struct Result {
  bool exited = false;  // false when a signal ended it
  int status = -1;
  int signal = 0;
  std::string standard_output;
  std::optional<std::string> input_after;
  std::optional<std::string> output_after;
  int output_permissions = -1;  // of a regular "korvanda.out"
  int held_status = -1;
  std::optional<std::string> held_answer;
};

Result RunProgram(const Scenario& setup);

// A new folder in the temporary folder, removed with all it holds when
// this goes: nothing a test makes is left behind or shared with another
// run.
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
// The Windows helper that holds a file open; empty when not built.
const std::string& HoldHelperPath();
// The Windows helper that starts a program without standard handles.
const std::string& NoStandardOutputHelperPath();
// The stop places of the program under test, by name, with the value
// each must report, from the map the build writes beside it.
std::map<std::string, std::uint32_t> StopPlaces();

// The permissions a program gives a file it creates: 0666 less the
// process's umask.
int NewFilePermissions();

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);

}  // namespace e2e
