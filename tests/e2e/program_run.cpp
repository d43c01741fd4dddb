#include "program_run.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "report_line.h"

extern char** environ;

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// How long anything may take that the harness waits for: a run, a helper
// holding its file, a held run reaching its FIFO. Wine starting cold on a
// busy machine takes seconds; a lease waited for would take 45.
constexpr auto Patience = std::chrono::seconds(60);

// The harness could not do its part: the test fails and says so, whatever
// the program did.
void HarnessFault(const std::string& what, int error) {
  ADD_FAILURE() << "harness: " << what << ": " << std::strerror(error);
}

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// Words separated by bars.
std::vector<std::string> Words(const std::string& list) {
  std::vector<std::string> words;
  std::istringstream in(list);
  for (std::string word; std::getline(in, word, '|');) {
    if (!word.empty()) words.push_back(word);
  }
  return words;
}

// The suite runs the native program (under qemu-user when it was built
// for another processor), or, where the test's environment names it in
// KORVANDA_WINDOWS_PROGRAM (so that naming it rebuilds nothing), the
// Windows program under Wine, with the helpers built beside it.
struct Target {
  std::string program;
  std::vector<std::string> launcher;
  std::string wine_prefix;
  std::string hold_helper;
  std::string no_stdout_helper;
};

const Target& CurrentTarget() {
  static const Target target = [] {
    const std::string windows = Env("KORVANDA_WINDOWS_PROGRAM", "");
    if (windows.empty()) {
      return Target{KORVANDA_PROGRAM, Words(KORVANDA_EMULATOR), "", "", ""};
    }
    const std::string helpers = fs::path(windows).parent_path() / "tests";
    return Target{windows,
                  {KORVANDA_WINE},
                  KORVANDA_WINEPREFIX,
                  helpers + "/hold_file.exe",
                  helpers + "/run_without_stdout.exe"};
  }();
  return target;
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream file(path, std::ios::binary);
  if (!(file << contents && file.flush())) {
    ADD_FAILURE() << "harness: cannot write " << path;
  }
}

std::optional<std::string> ContentsOf(const fs::path& path) {
  if (!fs::is_regular_file(path)) {
    return std::nullopt;
  }
  return ReadFile(path.string());
}

// The Windows program and its helpers start through Wine, a program for
// another processor through qemu-user.
std::vector<std::string> Launched(std::vector<std::string> words) {
  const Target& target = CurrentTarget();
  if (!target.wine_prefix.empty()) {
    // The prefix the build set up, never one in the user's home; Wine
    // leaves its server's folder in the temporary folder, so that is one
    // beside the prefix (as tests/windows/make-prefix.sh makes it).
    setenv("WINEPREFIX", target.wine_prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    const std::string wine_temporary = target.wine_prefix + ".tmp";
    fs::create_directories(wine_temporary);
    setenv("TMPDIR", wine_temporary.c_str(), 1);
  }
  words.insert(words.begin(), target.launcher.begin(), target.launcher.end());
  return words;
}

// Where the child's standard streams go: a descriptor of this process, or,
// with -1, the null device.
struct Streams {
  int in = -1;
  int out = -1;
  int err = -1;
  std::vector<int> closed = {};  // standard descriptors it starts without
};

// Starts `words` in `folder` with nothing of this process but the streams
// given: its signals at their defaults, every other descriptor closed. The
// process, or -1 when it cannot be started (said as the harness's fault).
pid_t Spawn(const std::vector<std::string>& words, const fs::path& folder,
            const Streams& streams) {
  std::vector<char*> argv;
  for (const std::string& word : words) {
    argv.push_back(const_cast<char*>(word.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  int error = posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  const int targets[] = {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO};
  const int sources[] = {streams.in, streams.out, streams.err};
  for (int i = 0; i < 3 && error == 0; ++i) {
    error =
        sources[i] >= 0
            ? posix_spawn_file_actions_adddup2(&actions, sources[i], targets[i])
            : posix_spawn_file_actions_addopen(&actions, targets[i],
                                               "/dev/null",
                                               i == 0 ? O_RDONLY : O_WRONLY, 0);
  }
  for (std::size_t i = 0; i < streams.closed.size() && error == 0; ++i) {
    error = posix_spawn_file_actions_addclose(&actions, streams.closed[i]);
  }
  if (error == 0) {
    error = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  }
  sigset_t defaults;
  sigset_t none;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGXFSZ);
  sigemptyset(&none);
  if (error == 0) error = posix_spawnattr_setsigdefault(&attributes, &defaults);
  if (error == 0) error = posix_spawnattr_setsigmask(&attributes, &none);
  if (error == 0) {
    error = posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  }
  pid_t pid = -1;
  if (error == 0) {
    error = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(),
                         environ);
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    HarnessFault("cannot start " + words[0] + " in " + folder.string(), error);
    return -1;
  }
  return pid;
}

// Everything a process writes to `fd` until it closes it (or, given
// `line_end`, until it has written a whole line), or until the deadline;
// false when the deadline came first.
bool ReadUntilClosed(int fd, Clock::time_point deadline, std::string& bytes,
                     bool line_end = false) {
  while (!line_end || bytes.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - Clock::now());
    pollfd ready = {fd, POLLIN, 0};
    if (left.count() <= 0 ||
        poll(&ready, 1, static_cast<int>(left.count())) == 0) {
      return false;
    }
    char chunk[4096];
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got > 0) {
      bytes.append(chunk, static_cast<std::size_t>(got));
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
      return true;
    }
  }
  return true;
}

// The process's end, waited for until the deadline; a process that has
// not ended by then is killed, and the test fails.
int WaitFor(pid_t pid, Clock::time_point deadline, const std::string& what) {
  int status = 0;
  for (;;) {
    const pid_t ended = waitpid(pid, &status, WNOHANG);
    if (ended == pid) return status;
    if (ended < 0) {
      HarnessFault("cannot wait for " + what, errno);
      return -1;
    }
    if (Clock::now() >= deadline) {
      ADD_FAILURE() << what << " had not ended after " << Patience.count()
                    << " s: killed";
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return status;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// A command run to its end, with what it printed; for the harness's own
// helpers (losetup).
int Capture(const std::vector<std::string>& words, std::string& printed) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    HarnessFault("no pipe", errno);
    return -1;
  }
  const pid_t pid = Spawn(words, fs::current_path(), {.out = pipe_fds[1]});
  close(pipe_fds[1]);
  const auto deadline = Clock::now() + Patience;
  if (pid > 0) ReadUntilClosed(pipe_fds[0], deadline, printed);
  close(pipe_fds[0]);
  const int status = pid > 0 ? WaitFor(pid, deadline, words[0]) : -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

template <typename Condition>
bool WaitUntil(Condition condition, const std::string& what) {
  for (const auto deadline = Clock::now() + Patience; !condition();) {
    if (Clock::now() >= deadline) {
      ADD_FAILURE() << "harness: gave up waiting for " << what << " after "
                    << Patience.count() << " s";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Starts the helper that holds "korvanda.in" and waits until it does; its
// standard input is kept open, and closing it lets the file go.
struct Holder {
  pid_t pid = -1;
  int release = -1;
};

Holder HoldInput(const fs::path& folder) {
  int to_helper[2], from_helper[2];
  if (pipe2(to_helper, O_CLOEXEC) != 0 || pipe2(from_helper, O_CLOEXEC) != 0) {
    HarnessFault("no pipe", errno);
    return {};
  }
  const pid_t pid =
      Spawn(Launched({CurrentTarget().hold_helper, "korvanda.in"}), folder,
            {.in = to_helper[0], .out = from_helper[1]});
  close(to_helper[0]);
  close(from_helper[1]);
  std::string said;
  // Only its line: under Wine, the processes Wine starts beside the helper
  // keep its output open.
  if (pid > 0) {
    ReadUntilClosed(from_helper[0], Clock::now() + Patience, said, true);
  }
  close(from_helper[0]);
  if (said.rfind("held", 0) != 0) {
    close(to_helper[1]);
    if (pid > 0) WaitFor(pid, Clock::now() + Patience, "the holding helper");
    return {};
  }
  return {pid, to_helper[1]};
}

void Release(const Holder& holder) {
  if (holder.pid > 0) {
    close(holder.release);
    WaitFor(holder.pid, Clock::now() + Patience, "the holding helper");
  }
}

std::vector<std::string> ProgramCommand(const Scenario& setup,
                                        const fs::path& folder) {
  if (setup.no_standard_output_handle) {
    return Launched({CurrentTarget().no_stdout_helper, ProgramPath()});
  }
  const std::string program =
      setup.dynamically_linked ? KORVANDA_DYNAMIC_PROGRAM : ProgramPath();
  if (setup.wrapper.empty()) {
    return Launched({program});
  }
  // A tracer runs the program itself; no launcher goes between them.
  std::vector<std::string> words = setup.wrapper;
  for (std::string& word : words) {
    if (const auto at = word.find("{folder}"); at != std::string::npos) {
      word.replace(at, 8, folder.string());
    }
  }
  words.push_back(program);
  return words;
}

struct Running {
  pid_t pid = -1;
  int standard_output = -1;  // the read end, or -1 when nobody reads
  int wine_messages = -1;    // a file with no name, under Wine only
};

Running Start(const Scenario& setup, const fs::path& folder,
              const std::vector<std::string>& command) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    HarnessFault("no pipe", errno);
    return {};
  }
  if (setup.standard_output_reader_gone ||
      !setup.standard_output_file.empty()) {
    close(pipe_fds[0]);
    pipe_fds[0] = -1;
  }
  if (!setup.standard_output_file.empty()) {
    close(pipe_fds[1]);
    pipe_fds[1] = open((folder / setup.standard_output_file).c_str(),
                       O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (pipe_fds[1] < 0) HarnessFault("cannot open standard output", errno);
  }
  const int wine_messages = RunsWindowsProgram()
                                ? open(folder.parent_path().c_str(),
                                       O_TMPFILE | O_RDWR | O_CLOEXEC, 0600)
                                : -1;
  // The child takes its limit from this process: lowered for the start,
  // then put back.
  rlimit before{};
  const bool limited = setup.file_size_limit_bytes >= 0;
  if (limited && getrlimit(RLIMIT_FSIZE, &before) != 0) {
    HarnessFault("cannot read the file-size limit", errno);
  }
  if (limited) {
    const rlimit lowered{static_cast<rlim_t>(setup.file_size_limit_bytes),
                         before.rlim_max};
    if (setrlimit(RLIMIT_FSIZE, &lowered) != 0) {
      HarnessFault("cannot limit the file size", errno);
    }
  }
  const pid_t pid = Spawn(command, folder,
                          {.out = pipe_fds[1],
                           .err = wine_messages,
                           .closed = setup.closed_standard_descriptors});
  if (limited && setrlimit(RLIMIT_FSIZE, &before) != 0) {
    HarnessFault("cannot put the file-size limit back", errno);
  }
  close(pipe_fds[1]);
  return {pid, pipe_fds[0], wine_messages};
}

// True when Wine lost its server as the program started, and said so: that
// run tells nothing of the program, and happens now and then.
bool Finish(const Running& run, const Scenario& setup, Result& result) {
  const auto deadline = Clock::now() + Patience;
  if (run.standard_output >= 0) {
    ReadUntilClosed(run.standard_output, deadline, result.standard_output);
    close(run.standard_output);
  }
  const int wait_status =
      run.pid > 0 ? WaitFor(run.pid, deadline, "the program") : -1;
  result.exited = run.pid > 0 && WIFEXITED(wait_status);
  result.status = result.exited ? WEXITSTATUS(wait_status) : -1;
  result.signal =
      run.pid > 0 && WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
  char messages[4096] = {};
  const bool lost_server =
      run.wine_messages >= 0 && result.exited && result.status == 1 &&
      pread(run.wine_messages, messages, sizeof messages - 1, 0) > 0 &&
      std::strstr(messages, "wine client error") != nullptr;
  if (run.wine_messages >= 0) close(run.wine_messages);
  if (setup.no_standard_output_handle) {
    // The helper prints the program's exit code; the program itself had
    // nowhere to write.
    result.status = result.exited && result.status == 0
                        ? std::atoi(result.standard_output.c_str())
                        : -1;
    result.standard_output.clear();
  }
  return lost_server;
}

// Whether some process holds a lock on the file that a lock of `type`
// would meet.
bool Locked(const fs::path& file, short type) {
  int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  bool held =
      fd >= 0 && fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
  if (fd >= 0) close(fd);
  return held;
}

// The first run is held on a FIFO (made by RunOnce) while the second
// runs to its end; then the first is let go. True when Wine lost its
// server in either.
bool RunWhileAnotherIsHeld(const Scenario& setup, const fs::path& folder,
                           const std::vector<std::string>& command,
                           Result& result) {
  const bool same_folder = setup.second_run == Scenario::SecondRun::SameFolder;
  const fs::path in = folder / "korvanda.in";
  const fs::path out = folder / "korvanda.out";
  // Kept open for writing, so the held run's reads wait for the input.
  const int feed = same_folder ? open(in.c_str(), O_RDWR | O_CLOEXEC) : -1;
  if (same_folder && feed < 0) HarnessFault("cannot open the FIFO", errno);
  Running held = Start(setup, folder, command);
  // The Windows program's sharing is Wine's own, out of this process's
  // sight: its emptying the earlier answer has to do. That answer's mere
  // existence would not; a cold Wine can start the second run first.
  WaitUntil(
      [&] {
        if (!same_folder) return Locked(in, F_WRLCK);
        if (!RunsWindowsProgram()) return Locked(out, F_RDLCK);
        std::error_code missing;
        return fs::file_size(out, missing) == 0 && !missing;
      },
      "the held run to hold its files");
  ScratchFolder other;
  if (!same_folder) {
    WriteFile((other.Path() / "korvanda.in").string(), *setup.input);
    fs::create_symlink(in, other.Path() / "korvanda.out");
  }
  // A second run that is not refused would wait on the held run's FIFO
  // for good: it is killed at the deadline, and the test fails.
  Running second = Start(setup, same_folder ? folder : other.Path(), command);
  const bool lost_server = Finish(second, setup, result);
  std::string answer;
  if (same_folder) {
    if (write(feed, setup.input->data(), setup.input->size()) !=
        static_cast<ssize_t>(setup.input->size())) {
      HarnessFault("cannot feed the held run", errno);
    }
    close(feed);
  } else {
    const int fd = open(out.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || !ReadUntilClosed(fd, Clock::now() + Patience, answer)) {
      ADD_FAILURE() << "the held run's answer did not come";
    }
    if (fd >= 0) close(fd);
  }
  Result first;
  const bool lost_held_server = Finish(held, setup, first);
  result.held_status = first.status;
  result.held_answer = same_folder ? ContentsOf(out) : answer;
  return lost_server || lost_held_server;
}

// A loop device over `image`, or empty where this machine has none to
// give (no root, no loop driver).
std::string AttachLoopDevice(const fs::path& image) {
  std::string device;
  if (Capture({"losetup", "--find", "--show", image.string()}, device) != 0) {
    return "";
  }
  return device.substr(0, device.find('\n'));
}

// One run of the scenario in a folder of its own; false when Wine lost its
// server in it (a helper that never held its file included).
bool RunOnce(const Scenario& setup, Result& result) {
  result = Result{};
  ScratchFolder scratch;
  const fs::path folder = scratch.Path() / "run";
  fs::create_directory(folder);
  fs::path in = folder / "korvanda.in";
  fs::path out = folder / "korvanda.out";
  using SecondRun = Scenario::SecondRun;
  using Names = Scenario::Names;
  std::string device;
  if (setup.names == Names::BothOneBlockDevice) {
    const fs::path image = scratch.Path() / "device-image";
    std::string padded = setup.input.value_or("");
    padded.resize(4096, ' ');
    WriteFile(image.string(), padded);
    device = AttachLoopDevice(image);
    if (device.empty()) {
      result.cannot = "needs a loop device (root and losetup)";
      return true;
    }
    fs::create_symlink(device, in);
    fs::create_symlink(device, out);
  } else if (setup.names == Names::BothNullDevice ||
             setup.names == Names::InputNullOutputZeroDevice) {
    fs::create_symlink("/dev/null", in);
    fs::create_symlink(
        setup.names == Names::BothNullDevice ? "/dev/null" : "/dev/zero", out);
  } else if (setup.names == Names::InputNullOutputAnotherNodeOfIt) {
    struct stat null_device = {};
    if (stat("/dev/null", &null_device) != 0 ||
        mknod(out.c_str(), S_IFCHR | 0666, null_device.st_rdev) != 0) {
      result.cannot = "needs to make a device node (root, and mknod allowed)";
      return true;
    }
    fs::create_symlink("/dev/null", in);
  }
  if (setup.input_is_folder) {
    fs::create_directory(in);
  } else if (setup.second_run == SecondRun::SameFolder ||
             setup.input_through_fifo) {
    mkfifo(in.c_str(), 0600);
  } else if (setup.input && !fs::is_symlink(in)) {
    WriteFile(in.string(), *setup.input);
  }
  if (setup.output_is_folder) {
    fs::create_directory(out);
  } else if (setup.second_run == SecondRun::OutputLinkedToInput) {
    mkfifo(out.c_str(), 0600);
  } else if (setup.names == Names::OutputSymbolicLinkToInput) {
    fs::create_symlink("korvanda.in", out);
  } else if (setup.names == Names::OutputHardLinkToInput) {
    fs::create_hard_link(in, out);
  } else if (setup.names == Names::OutputNullDevice) {
    fs::create_symlink("/dev/null", out);
  } else if (setup.names == Names::OutputDanglingLink) {
    fs::create_symlink("answer.txt", out);
  } else if (setup.names == Names::OutputLinkIntoAMissingFolder) {
    fs::create_symlink("missing/answer", out);
  } else if (setup.earlier_output && !fs::is_symlink(out)) {
    WriteFile(out.string(), *setup.earlier_output);
  }

  pid_t writer = -1;
  if (setup.input_through_fifo) {
    writer = Spawn({"sh", "-c", "printf %s \"$1\" > korvanda.in", "sh",
                    setup.input.value_or("")},
                   folder, {});
  }
  Holder holder;
  if (setup.input_held_unshared) {
    holder = HoldInput(folder);
  }
  const std::vector<std::string> command = ProgramCommand(setup, folder);
  bool lost_server = setup.input_held_unshared && holder.pid <= 0;
  if (setup.second_run == SecondRun::None) {
    lost_server |= Finish(Start(setup, folder, command), setup, result);
  } else {
    lost_server |= RunWhileAnotherIsHeld(setup, folder, command, result);
  }
  Release(holder);
  if (writer > 0) {
    // A writer the program never let in waits for good.
    kill(writer, SIGKILL);
    WaitFor(writer, Clock::now() + Patience, "the FIFO's writer");
  }
  result.output_after = ContentsOf(out);
  if (!setup.standard_output_file.empty()) {
    result.standard_output =
        ContentsOf(folder / setup.standard_output_file).value_or("");
  }
  result.link_target_after = ContentsOf(folder / "answer.txt");
  if (!device.empty()) {
    // What the device holds where the input was.
    std::string after;
    if (Capture({"losetup", "-d", device}, after) != 0) {
      ADD_FAILURE() << "harness: cannot let go of " << device;
    }
    after = ReadFile((scratch.Path() / "device-image").string());
    result.input_after = after.substr(0, setup.input.value_or("").size());
  } else if (!fs::is_symlink(in)) {
    result.input_after = ContentsOf(in);
  }
  if (result.output_after && !fs::is_symlink(out)) {
    result.output_permissions = static_cast<int>(fs::status(out).permissions());
  }
  return !lost_server;
}

// Scratch folders are named for the process that made them; one whose
// process has ended was left by a test that was killed.
constexpr const char* ScratchPrefix = "korvanda-e2e-";

void SweepEndedRuns(const fs::path& root) {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(root, ignored)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(ScratchPrefix, 0) != 0) continue;
    const long pid = std::atol(name.c_str() + std::strlen(ScratchPrefix));
    if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      fs::remove_all(entry.path(), ignored);
    }
  }
}

}  // namespace

const std::string& ProgramPath() {
  // Another build of the same program may stand in for the one the suite
  // was built with.
  static const std::string program =
      CurrentTarget().wine_prefix.empty()
          ? Env("KORVANDA_E2E_PROGRAM", CurrentTarget().program.c_str())
          : CurrentTarget().program;
  return program;
}

const std::map<std::string, std::uint32_t>& StopPlaces() {
  static const std::map<std::string, std::uint32_t> places = [] {
    const fs::path map =
        fs::path(ProgramPath()).parent_path() / "korvanda.stops.txt";
    std::istringstream lines(ReadFile(map.string()));
    std::map<std::string, std::uint32_t> read;
    for (std::string line; std::getline(lines, line);) {
      // Places only: a value of 8 hexadecimal digits first.
      if (line.find_first_not_of("0123456789ABCDEF") != 8) continue;
      std::istringstream fields(line);
      std::string value, source, place;
      std::getline(fields, value, '\t');
      std::getline(fields, source, '\t');
      std::getline(fields, place, '\t');
      read[place] = static_cast<std::uint32_t>(std::stoul(value, nullptr, 16));
    }
    return read;
  }();
  return places;
}

void ExpectReport(const std::string& standard_output, int status,
                  const std::string& place) {
  const testutil::Report report = testutil::ParseReport(standard_output);
  EXPECT_TRUE(report.well_formed) << standard_output;
  EXPECT_EQ(report.code, status);
  const auto value = StopPlaces().find(place);
  if (value == StopPlaces().end()) {
    ADD_FAILURE() << "the map has no stop place " << place;
    return;
  }
  EXPECT_EQ(report.site, value->second) << "the stop is not at " << place;
}

namespace {

// The fields of the table's row `name`: name, Linux, Windows, meaning.
std::vector<std::string> StatusRow(const std::string& name) {
  std::istringstream lines(ReadFile(KORVANDA_EXIT_STATUSES));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::vector<std::string> row(4);
    for (std::string& field : row) std::getline(fields, field, '\t');
    if (row[0] == name) return row;
  }
  ADD_FAILURE() << "no exit status named " << name;
  return {"", "-1", "-1", ""};
}

}  // namespace

int ExitStatus(const std::string& name) {
  return std::atoi(StatusRow(name)[RunsWindowsProgram() ? 2 : 1].c_str());
}

std::string StatusMeaning(const std::string& name) {
  return StatusRow(name)[3];
}

std::string Explained(const std::string& standard_output) {
  std::string told;
  const int status = Capture({KORVANDA_EXPLAIN_SCRIPT, "--program",
                              ProgramPath(), standard_output.substr(0, 29)},
                             told);
  EXPECT_EQ(status, 0) << told;
  return told;
}

const char* WhyNotNative() {
  if (RunsWindowsProgram()) {
    return "the Linux program only: this is the Windows program under Wine";
  }
  if (!CurrentTarget().launcher.empty()) {
    return "a native Linux process only: this one runs under qemu-user";
  }
  return nullptr;
}

bool RunsWindowsProgram() { return !CurrentTarget().wine_prefix.empty(); }

int NewFilePermissions() {
  const mode_t mask = umask(0);
  umask(mask);
  return static_cast<int>(0666 & ~mask);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

ScratchFolder::ScratchFolder() {
  const fs::path root = KORVANDA_SCRATCH;
  std::error_code failed;
  fs::create_directories(root, failed);
  static const bool swept = (SweepEndedRuns(root), true);
  (void)swept;
  std::string pattern =
      (root / (ScratchPrefix + std::to_string(getpid()) + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) {
    HarnessFault("cannot make a folder in " + root.string(), errno);
    return;
  }
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  if (!path_.empty()) fs::remove_all(path_, ignored);
}

Result RunBuiltProgram(const Scenario& setup) {
  // Wine now and then loses its server as a program starts; such a run
  // tells nothing of the program and is made again, twice at most.
  Result result;
  for (int tries = 0; tries < 3; ++tries) {
    if (RunOnce(setup, result)) break;
  }
  return result;
}

}  // namespace e2e
