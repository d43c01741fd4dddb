#include "program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace e2e {
namespace {

namespace fs = std::filesystem;

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// The suite runs the native program (under qemu-user when it was built
// for another processor), or with KORVANDA_E2E_TARGET=windows the Windows
// program under Wine; all are fixed when the suite is built.
struct Target {
  std::string program;
  std::vector<std::string> launcher;
  std::string wine_prefix;
  std::string hold_helper;
  std::string no_stdout_helper;
};

// Another build of the same program may stand in for the one the suite
// was built with, to show what holds for every build.
std::string NativeProgram() {
  return Env("KORVANDA_E2E_PROGRAM", KORVANDA_PROGRAM);
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

const Target& CurrentTarget() {
  static const Target target =
      Env("KORVANDA_E2E_TARGET", "") == "windows"
          ? Target{KORVANDA_WINDOWS_PROGRAM,
                   {KORVANDA_WINE},
                   KORVANDA_WINEPREFIX,
                   KORVANDA_WINDOWS_HOLD_HELPER,
                   KORVANDA_WINDOWS_NO_STDOUT_HELPER}
          : Target{NativeProgram(), Words(KORVANDA_EMULATOR), "", "", ""};
  return target;
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
    // beside the prefix (as scripts/lib.sh makes it).
    setenv("WINEPREFIX", target.wine_prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    const std::string wine_temporary = target.wine_prefix + ".tmp";
    fs::create_directories(wine_temporary);
    setenv("TMPDIR", wine_temporary.c_str(), 1);
  }
  words.insert(words.begin(), target.launcher.begin(), target.launcher.end());
  return words;
}

// Built before the fork, so the child only makes system calls.
struct CommandLine {
  std::vector<std::string> words;
  std::vector<char*> argv;

  explicit CommandLine(std::vector<std::string> w) : words(std::move(w)) {
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
  }
};

[[noreturn]] void Exec(const CommandLine& command) {
  execvp(command.argv[0], command.argv.data());
  _exit(127);
}

// Starts the helper that holds "korvanda.in" and waits until it does.
struct Holder {
  pid_t pid = -1;
  int stdin_fd = -1;
};

Holder HoldInput(const fs::path& folder) {
  CommandLine command(Launched({HoldHelperPath(), "korvanda.in"}));
  int to_helper[2], from_helper[2];
  if (pipe2(to_helper, O_CLOEXEC) != 0 || pipe2(from_helper, O_CLOEXEC) != 0) {
    return {};
  }
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) {
      _exit(126);
    }
    dup2(to_helper[0], STDIN_FILENO);
    dup2(from_helper[1], STDOUT_FILENO);
    Exec(command);
  }
  close(to_helper[0]);
  close(from_helper[1]);
  char word[8] = {};
  ssize_t got = read(from_helper[0], word, 4);
  close(from_helper[0]);
  if (got != 4) {
    close(to_helper[1]);
    waitpid(pid, nullptr, 0);
    return {};
  }
  return {pid, to_helper[1]};
}

void Release(const Holder& holder) {
  if (holder.pid > 0) {
    close(holder.stdin_fd);
    waitpid(holder.pid, nullptr, 0);
  }
}

// Runs in a vfork child, sharing the test's memory until it execs: system
// calls only.
[[noreturn]] void ExecChild(const Scenario& setup, const char* folder,
                            int stdout_fd, int stderr_fd,
                            const CommandLine& command) {
  if (chdir(folder) != 0) {
    _exit(126);
  }
  signal(SIGPIPE, SIG_DFL);
  signal(SIGXFSZ, SIG_DFL);
  if (setup.file_size_limit_bytes >= 0) {
    rlimit limit{static_cast<rlim_t>(setup.file_size_limit_bytes),
                 static_cast<rlim_t>(setup.file_size_limit_bytes)};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  int null_fd = open("/dev/null", O_RDWR);
  dup2(null_fd, STDIN_FILENO);
  dup2(stdout_fd, STDOUT_FILENO);
  dup2(stderr_fd >= 0 ? stderr_fd : null_fd, STDERR_FILENO);
  if (setup.standard_descriptors_closed) {
    close(STDIN_FILENO);
    close(STDOUT_FILENO);
    close(STDERR_FILENO);
  }
  // Nothing else of the test process leaks into the program.
  for (int fd = 3; fd < 1024; ++fd) {
    close(fd);
  }
  Exec(command);
}

CommandLine ProgramCommand(const Scenario& setup) {
  if (setup.no_standard_output_handle) {
    return CommandLine(Launched({NoStandardOutputHelperPath(), ProgramPath()}));
  }
  const std::string program =
      setup.dynamically_linked ? KORVANDA_DYNAMIC_PROGRAM : ProgramPath();
  if (setup.wrapper.empty()) {
    return CommandLine(Launched({program}));
  }
  // A tracer runs the program itself; no launcher goes between them.
  std::vector<std::string> words = setup.wrapper;
  words.push_back(program);
  return CommandLine(words);
}

}  // namespace

const std::string& ProgramPath() { return CurrentTarget().program; }

const std::string& HoldHelperPath() { return CurrentTarget().hold_helper; }

const std::string& NoStandardOutputHelperPath() {
  return CurrentTarget().no_stdout_helper;
}

std::map<std::string, std::uint32_t> StopPlaces() {
  const fs::path map =
      fs::path(ProgramPath()).parent_path() / "korvanda.stops.txt";
  std::istringstream lines(ReadFile(map.string()));
  std::map<std::string, std::uint32_t> places;
  for (std::string line; std::getline(lines, line);) {
    // Places only: a value of 8 hexadecimal digits first.
    if (line.find_first_not_of("0123456789ABCDEF") != 8) continue;
    std::istringstream fields(line);
    std::string value, source, place;
    std::getline(fields, value, '\t');
    std::getline(fields, source, '\t');
    std::getline(fields, place, '\t');
    places[place] = static_cast<std::uint32_t>(std::stoul(value, nullptr, 16));
  }
  return places;
}

const char* WhyNotNative() {
  if (RunsWindowsProgram()) {
    return "needs a Linux process; this is the Windows program under Wine";
  }
  if (!CurrentTarget().launcher.empty()) {
    return "needs a native process; runs under qemu-user";
  }
  return nullptr;
}

bool RunsWindowsProgram() {
  return ProgramPath().size() > 4 &&
         ProgramPath().compare(ProgramPath().size() - 4, 4, ".exe") == 0;
}

int NewFilePermissions() {
  const mode_t mask = umask(0);
  umask(mask);
  return static_cast<int>(0666 & ~mask);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

ScratchFolder::ScratchFolder() {
  std::string pattern =
      (fs::temp_directory_path() / "korvanda-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) {
    path_ = pattern;
  }
}

ScratchFolder::~ScratchFolder() { fs::remove_all(path_); }

namespace {

struct Running {
  pid_t pid = -1;
  int standard_output = -1;  // the read end, or -1 when nobody reads
  int wine_messages = -1;    // a file with no name, under Wine only
};

Running Start(const Scenario& setup, const fs::path& folder,
              const CommandLine& command) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
    return {};
  }
  if (setup.standard_output_reader_gone) {
    close(pipe_fds[0]);
    pipe_fds[0] = -1;
  }
  std::string folder_name = folder.string();
  const int wine_messages = e2e::RunsWindowsProgram()
                                ? open(fs::temp_directory_path().c_str(),
                                       O_TMPFILE | O_RDWR | O_CLOEXEC, 0600)
                                : -1;
  // The child shares this process's memory until it execs, rather than
  // copying a test's worth of pages for nothing.
  pid_t child = vfork();
  if (child == 0) {
    ExecChild(setup, folder_name.c_str(), pipe_fds[1], wine_messages, command);
  }
  close(pipe_fds[1]);
  return {child, pipe_fds[0], wine_messages};
}

// True when Wine lost its server as the program started, and said so: that
// run tells nothing of the program, and happens now and then.
bool Finish(const Running& run, const Scenario& setup, Result& result) {
  if (run.standard_output >= 0) {
    char chunk[4096];
    ssize_t got;
    while ((got = read(run.standard_output, chunk, sizeof chunk)) > 0) {
      result.standard_output.append(chunk, static_cast<std::size_t>(got));
    }
    close(run.standard_output);
  }
  int wait_status = 0;
  waitpid(run.pid, &wait_status, 0);
  result.exited = WIFEXITED(wait_status);
  result.status = result.exited ? WEXITSTATUS(wait_status) : -1;
  result.signal = WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
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

template <typename Condition>
void WaitUntil(Condition condition) {
  for (int tries = 0; tries < 2000 && !condition(); ++tries) {
    usleep(10000);
  }
}

// What a FIFO receives until its writer, which may not have opened it
// yet, closes it again.
std::string ReadFifo(const fs::path& fifo) {
  int fd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  std::string bytes;
  pollfd ready = {fd, POLLIN, 0};
  while (fd >= 0 && poll(&ready, 1, 20000) > 0) {
    char chunk[256];
    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got == 0 || (got < 0 && errno != EAGAIN)) break;
    if (got > 0) bytes.append(chunk, static_cast<std::size_t>(got));
  }
  if (fd >= 0) close(fd);
  return bytes;
}

// The first run is held on a FIFO (made by RunOnce) while the second
// runs to its end; then the first is let go. True when Wine lost its
// server in either.
bool RunWhileAnotherIsHeld(const Scenario& setup, const fs::path& folder,
                           const CommandLine& command, Result& result) {
  const bool same_folder = setup.second_run == Scenario::SecondRun::SameFolder;
  const fs::path in = folder / "korvanda.in";
  const fs::path out = folder / "korvanda.out";
  // Kept open for writing, so the held run's reads wait for the input.
  int feed = same_folder ? open(in.c_str(), O_RDWR | O_CLOEXEC) : -1;
  Running held = Start(setup, folder, command);
  // The Windows program's sharing is Wine's own, out of this process's
  // sight: its emptying the earlier answer has to do. That answer's mere
  // existence would not; a cold Wine can start the second run first.
  WaitUntil([&] {
    if (!same_folder) return Locked(in, F_WRLCK);
    if (!e2e::RunsWindowsProgram()) return Locked(out, F_RDLCK);
    std::error_code missing;
    return fs::file_size(out, missing) == 0 && !missing;
  });
  ScratchFolder other;
  if (!same_folder) {
    WriteFile((other.Path() / "korvanda.in").string(), *setup.input);
    fs::create_symlink(in, other.Path() / "korvanda.out");
  }
  // A second run that is not refused would wait on the held run's FIFO
  // for good: it is given a while, then stopped.
  Running second = Start(setup, same_folder ? folder : other.Path(), command);
  WaitUntil([&] {
    siginfo_t ended = {};
    return waitid(P_PID, static_cast<id_t>(second.pid), &ended,
                  WEXITED | WNOHANG | WNOWAIT) == 0 &&
           ended.si_pid == second.pid;
  });
  kill(second.pid, SIGKILL);
  const bool lost_server = Finish(second, setup, result);
  std::string answer;
  if (same_folder) {
    // A short write shows as a wrong answer of the held run.
    ssize_t fed = write(feed, setup.input->data(), setup.input->size());
    (void)fed;
    close(feed);
  } else {
    answer = ReadFifo(out);
  }
  Result first;
  const bool lost_held_server = Finish(held, setup, first);
  result.held_status = first.status;
  result.held_answer = same_folder ? ContentsOf(out) : answer;
  return lost_server || lost_held_server;
}

// One run of the scenario in a folder of its own; false when Wine lost its
// server in it (a helper that never held its file included).
bool RunOnce(const Scenario& setup, Result& result) {
  ScratchFolder scratch;
  const fs::path& folder = scratch.Path();
  fs::path in = folder / "korvanda.in";
  fs::path out = folder / "korvanda.out";
  using SecondRun = Scenario::SecondRun;
  if (setup.input_is_folder) {
    fs::create_directory(in);
  } else if (setup.second_run == SecondRun::SameFolder) {
    mkfifo(in.c_str(), 0600);
  } else if (setup.input) {
    WriteFile(in.string(), *setup.input);
  }
  using OutputName = Scenario::OutputName;
  if (setup.output_is_folder) {
    fs::create_directory(out);
  } else if (setup.second_run == SecondRun::OutputLinkedToInput) {
    mkfifo(out.c_str(), 0600);
  } else if (setup.output_name == OutputName::SymbolicLinkToInput) {
    fs::create_symlink("korvanda.in", out);
  } else if (setup.output_name == OutputName::HardLinkToInput) {
    fs::create_hard_link(in, out);
  } else if (setup.output_name == OutputName::NullDevice) {
    fs::create_symlink("/dev/null", out);
  } else if (setup.earlier_output) {
    WriteFile(out.string(), *setup.earlier_output);
  }

  Holder holder;
  if (setup.input_held_unshared) {
    holder = HoldInput(folder);
  }
  CommandLine command = ProgramCommand(setup);
  result = Result{};
  bool lost_server = setup.input_held_unshared && holder.pid <= 0;
  if (setup.second_run == SecondRun::None) {
    lost_server |= Finish(Start(setup, folder, command), setup, result);
  } else {
    lost_server |= RunWhileAnotherIsHeld(setup, folder, command, result);
  }
  Release(holder);
  result.input_after = ContentsOf(in);
  result.output_after = ContentsOf(out);
  if (result.output_after) {
    result.output_permissions = static_cast<int>(fs::status(out).permissions());
  }
  return !lost_server;
}

}  // namespace

Result RunProgram(const Scenario& setup) {
  // Wine now and then loses its server as a program starts; such a run
  // tells nothing of the program and is made again, twice at most.
  Result result;
  for (int tries = 0; tries < 3; ++tries) {
    if (RunOnce(setup, result)) break;
  }
  return result;
}

}  // namespace e2e
