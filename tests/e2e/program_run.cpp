#include "program_run.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <thread>

#include "report_line.h"

extern char** environ;

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using enum Scenario::Folder;

// How long anything may take that the harness waits for: a run, a helper
// holding its file, a held run reaching its FIFO. Wine starting cold on a
// busy machine takes seconds; a lease waited for would take 45.
constexpr auto Patience = std::chrono::seconds(60);

// The harness could not do its part: the test fails and says so, whatever
// the program did.
void HarnessFault(const std::string& what, int error) {
  ADD_FAILURE() << "harness: " << what << ": " << std::strerror(error);
}

// The suite runs the native program (under qemu-user when it was built
// for another processor: the emulator's words, separated by bars), or,
// where the test's environment names it in KORVANDA_WINDOWS_PROGRAM (so
// that naming it rebuilds nothing), the Windows program under Wine, with
// the helpers built beside it.
struct Target {
  std::string program;
  std::vector<std::string> launcher;
  std::string helper;  // tests/windows/helper.cpp
};

const Target& CurrentTarget() {
  static const Target target = [] {
    const char* windows = std::getenv("KORVANDA_WINDOWS_PROGRAM");
    if (windows == nullptr || *windows == '\0') {
      Target native{KORVANDA_PROGRAM, {}, ""};
      std::istringstream words(KORVANDA_EMULATOR);
      for (std::string word; std::getline(words, word, '|');) {
        if (!word.empty()) native.launcher.push_back(word);
      }
      return native;
    }
    // The prefix the build set up, never one in the user's home; Wine
    // leaves its server's folder in the temporary folder, and menus in
    // the home folder, so those are folders beside the prefix (as
    // tests/windows/make-prefix.sh makes them). Every process the suite
    // starts takes them.
    const std::string prefix = KORVANDA_WINEPREFIX;
    fs::create_directories(prefix + ".tmp");
    fs::create_directories(prefix + ".home");
    setenv("WINEPREFIX", prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("TMPDIR", (prefix + ".tmp").c_str(), 1);
    setenv("HOME", (prefix + ".home").c_str(), 1);
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
      unsetenv(name);
    }
    return Target{windows,
                  {KORVANDA_WINE},
                  fs::path(windows).parent_path() / "tests" / "helper.exe"};
  }();
  return target;
}

// The Windows program and its helpers start through Wine, a program for
// another processor through qemu-user.
std::vector<std::string> Launched(std::vector<std::string> words) {
  const std::vector<std::string>& launcher = CurrentTarget().launcher;
  words.insert(words.begin(), launcher.begin(), launcher.end());
  return words;
}

void WriteFile(const fs::path& path, const std::string& contents) {
  std::ofstream file(path, std::ios::binary);
  if (!(file << contents).flush()) ADD_FAILURE() << "harness: " << path;
}

std::optional<std::string> ContentsOf(const fs::path& path) {
  return fs::is_regular_file(path) ? ReadFile(path.string())
                                   : std::optional<std::string>();
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
  int error = 0;  // the first of the calls below to fail
  auto step = [&](int result) { error = error != 0 ? error : result; };
  step(posix_spawn_file_actions_addchdir_np(&actions, folder.c_str()));
  const int sources[] = {streams.in, streams.out, streams.err};
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    step(sources[fd] >= 0
             ? posix_spawn_file_actions_adddup2(&actions, sources[fd], fd)
             : posix_spawn_file_actions_addopen(&actions, fd, "/dev/null",
                                                fd == 0 ? O_RDONLY : O_WRONLY,
                                                0));
  }
  for (int fd : streams.closed) {
    step(posix_spawn_file_actions_addclose(&actions, fd));
  }
  step(posix_spawn_file_actions_addclosefrom_np(&actions, 3));
  sigset_t defaults, none;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGXFSZ);
  step(posix_spawnattr_setsigdefault(&attributes, &defaults));
  step(posix_spawnattr_setsigmask(&attributes, &none));
  step(posix_spawnattr_setflags(
      &attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));
  pid_t pid = -1;
  if (error == 0) {
    step(posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(),
                      environ));
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
// false when the deadline came first. Closes `fd`.
bool ReadUntilClosed(int fd, Clock::time_point deadline, std::string& bytes,
                     bool line_end = false) {
  bool closed = false;
  while (!closed && (!line_end || bytes.find('\n') == std::string::npos)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - Clock::now());
    pollfd ready = {fd, POLLIN, 0};
    if (left.count() <= 0 ||
        poll(&ready, 1, static_cast<int>(left.count())) == 0) {
      close(fd);
      return false;
    }
    char chunk[4096];
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got > 0) bytes.append(chunk, static_cast<std::size_t>(got));
    closed = got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN);
  }
  close(fd);
  return true;
}

// Whether `done` said so before the deadline.
bool WaitUntil(const std::function<bool()>& done,
               Clock::time_point deadline = Clock::now() + Patience) {
  while (!done()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// The process's end, waited for until the deadline; a process that has
// not ended by then is killed, and the test fails.
int WaitFor(pid_t pid, Clock::time_point deadline, const std::string& what) {
  int status = -1;
  pid_t ended = 0;
  auto gone = [&] { return (ended = waitpid(pid, &status, WNOHANG)) != 0; };
  if (pid <= 0 || WaitUntil(gone, deadline)) {
    if (ended < 0) HarnessFault("cannot wait for " + what, errno);
    return status;
  }
  ADD_FAILURE() << what << " had not ended after " << Patience.count()
                << " s: killed";
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return status;
}

// A pipe; both ends closed on exec.
bool MakePipe(int (&fds)[2]) {
  if (pipe2(fds, O_CLOEXEC) == 0) return true;
  HarnessFault("no pipe", errno);
  return false;
}

// A command run to its end, with what it printed; for the harness's own
// helpers (losetup, korvanda-explain). Its exit status, or -1.
int Capture(const std::vector<std::string>& words, std::string& printed) {
  int out[2];
  if (!MakePipe(out)) return -1;
  const pid_t pid = Spawn(words, fs::current_path(), {.out = out[1]});
  close(out[1]);
  const auto deadline = Clock::now() + Patience;
  ReadUntilClosed(out[0], deadline, printed);
  const int status = WaitFor(pid, deadline, words[0]);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Another program holding "korvanda.in": for the Windows program, the
// helper that holds it unshared until its standard input is closed; for
// the Linux program, a write lock of this process's until `release` is
// closed.
struct Holder {
  pid_t pid = -1;
  int release = -1;
  bool held = false;
};

Holder HoldInput(const fs::path& folder) {
  if (!RunsWindowsProgram()) {
    const int fd = open((folder / "korvanda.in").c_str(), O_RDWR | O_CLOEXEC);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (fd < 0 || fcntl(fd, F_OFD_SETLK, &lock) != 0) {
      HarnessFault("cannot lock korvanda.in", errno);
    }
    return {-1, fd, fd >= 0};
  }
  int to_helper[2], from_helper[2];
  if (!MakePipe(to_helper) || !MakePipe(from_helper)) return {};
  Holder holder{Spawn(Launched({CurrentTarget().helper, "hold", "korvanda.in"}),
                      folder, {.in = to_helper[0], .out = from_helper[1]}),
                to_helper[1]};
  close(to_helper[0]);
  close(from_helper[1]);
  // Only its line: under Wine, the processes Wine starts beside the helper
  // keep its output open.
  std::string said;
  ReadUntilClosed(from_helper[0], Clock::now() + Patience, said, true);
  holder.held = said.rfind("held", 0) == 0;
  return holder;
}

void Release(const Holder& holder) {
  close(holder.release);
  WaitFor(holder.pid, Clock::now() + Patience, "the holding helper");
}

std::vector<std::string> ProgramCommand(const Scenario& setup) {
  if (setup.no_standard_output_handle) {
    return Launched({CurrentTarget().helper, "no-stdout", ProgramPath()});
  }
  const std::string program =
      setup.dynamically_linked ? KORVANDA_DYNAMIC_PROGRAM : ProgramPath();
  if (setup.wrapper.empty()) return Launched({program});
  // A tracer runs the program itself; no launcher goes between them.
  std::vector<std::string> words = setup.wrapper;
  words.push_back(program);
  return words;
}

// The file of the folder standard output is opened on, and whether for
// appending.
std::string StandardOutputName(const Scenario& setup) {
  const std::string& file = setup.standard_output_file;
  return file.rfind(">>", 0) == 0 ? file.substr(2) : file;
}

struct Running {
  pid_t pid = -1;
  int standard_output = -1;  // the read end, or -1 when nobody reads
  int wine_messages = -1;    // a file with no name, under Wine only
};

Running Start(const Scenario& setup, const fs::path& folder) {
  int out[2];
  if (!MakePipe(out)) return {};
  if (setup.standard_output_reader_gone ||
      !setup.standard_output_file.empty()) {
    close(out[0]);
    out[0] = -1;
  }
  if (!setup.standard_output_file.empty()) {
    close(out[1]);
    const bool appends =
        StandardOutputName(setup) != setup.standard_output_file;
    out[1] = open(
        (folder / StandardOutputName(setup)).c_str(),
        (appends ? O_WRONLY | O_APPEND : O_RDWR) | O_CREAT | O_CLOEXEC, 0666);
    if (out[1] < 0) HarnessFault("cannot open standard output", errno);
  }
  const int wine_messages = RunsWindowsProgram()
                                ? open(folder.parent_path().c_str(),
                                       O_TMPFILE | O_RDWR | O_CLOEXEC, 0600)
                                : -1;
  const pid_t pid = Spawn(ProgramCommand(setup), folder,
                          {.out = out[1],
                           .err = wine_messages,
                           .closed = setup.closed_standard_descriptors});
  close(out[1]);
  return {pid, out[0], wine_messages};
}

// True when Wine lost its server as the program started, and said so: that
// run tells nothing of the program, and happens now and then.
bool Finish(const Running& run, const Scenario& setup, Result& result) {
  const auto deadline = Clock::now() + Patience;
  if (run.standard_output >= 0) {
    ReadUntilClosed(run.standard_output, deadline, result.standard_output);
  }
  const int wait_status = WaitFor(run.pid, deadline, "the program");
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
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  const bool held =
      fd >= 0 && fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
  if (fd >= 0) close(fd);
  return held;
}

// The first run is held on a FIFO (made by RunOnce) while the second
// runs to its end; then the first is let go. True when Wine lost its
// server in either.
bool RunWhileAnotherIsHeld(const Scenario& setup, const fs::path& folder,
                           Result& result) {
  const bool same_folder = setup.folder == SecondRunSameFolder;
  const fs::path in = folder / "korvanda.in";
  const fs::path out = folder / "korvanda.out";
  // Kept open for writing, so the held run's reads wait for the input.
  const int feed = same_folder ? open(in.c_str(), O_RDWR | O_CLOEXEC) : -1;
  if (same_folder && feed < 0) HarnessFault("cannot open the FIFO", errno);
  Running held = Start(setup, folder);
  // The Windows program's sharing is Wine's own, out of this process's
  // sight: its emptying the earlier answer has to do. That answer's mere
  // existence would not; a cold Wine can start the second run first.
  auto holds = [&] {
    if (!same_folder) return Locked(in, F_WRLCK);
    if (!RunsWindowsProgram()) return Locked(out, F_RDLCK);
    std::error_code missing;
    return fs::file_size(out, missing) == 0 && !missing;
  };
  if (!WaitUntil(holds)) ADD_FAILURE() << "harness: the held run held nothing";
  ScratchFolder other;
  if (!same_folder) {
    WriteFile(other.Path() / "korvanda.in", *setup.input);
    fs::create_symlink(in, other.Path() / "korvanda.out");
  }
  // A second run that is not refused would wait on the held run's FIFO
  // for good: it is killed at the deadline, and the test fails.
  const bool lost_server =
      Finish(Start(setup, same_folder ? folder : other.Path()), setup, result);
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
  }
  Result first;
  const bool lost_held_server = Finish(held, setup, first);
  result.held_status = first.status;
  result.held_answer = same_folder ? ContentsOf(out) : answer;
  return lost_server || lost_held_server;
}

// Once the run has opened korvanda.in (the second open the folder sees,
// after standard output's), it is renamed away and another put in its
// place. True when Wine lost its server.
bool RunAndRenameInput(const Scenario& setup, const fs::path& folder,
                       Result& result) {
  const fs::path in = folder / "korvanda.in";
  const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (watch < 0 || inotify_add_watch(watch, in.c_str(), IN_OPEN) < 0) {
    HarnessFault("cannot watch korvanda.in", errno);
  }
  const Running run = Start(setup, folder);
  // A watch on a file names no file in its events: each is one size.
  std::size_t opens = 0;
  auto opened = [&] {
    inotify_event events[8];
    const ssize_t got = read(watch, events, sizeof events);
    opens += got > 0 ? static_cast<std::size_t>(got) / sizeof *events : 0;
    return opens >= 2;
  };
  if (!WaitUntil(opened)) ADD_FAILURE() << "harness: korvanda.in not opened";
  close(watch);
  fs::rename(in, folder / "saved.in");
  WriteFile(in, "7 1 2 3 4 5 6\n");
  const bool lost_server = Finish(run, setup, result);
  result.input_after = ContentsOf(folder / "saved.in");
  return lost_server;
}

// What a folder kind makes of each name: "" a file (the input, or an
// earlier answer, if any), "-" nothing, "/" a folder, "|" a FIFO, "=" a
// hard link to korvanda.in, "#" a node of its own for the null device;
// anything else, a symbolic link to it.
struct Made {
  std::string in;
  std::string out;
};
// clang-format off
const std::map<Scenario::Folder, Made> Names = {
    {NoInput, {"-", ""}}, {InputFolder, {"/", ""}}, {OutputFolder, {"", "/"}},
    {OutputLinkToInput, {"", "korvanda.in"}}, {OutputHardLinkToInput, {"", "="}},
    {OutputNullDevice, {"", "/dev/null"}}, {OutputDanglingLink, {"", "answer.txt"}},
    {OutputIntoMissingFolder, {"", "missing/answer"}}, {NullAndZeroDevice, {"/dev/null", "/dev/zero"}},
    {BothNullDevice, {"/dev/null", "/dev/null"}}, {NullAndAnotherNodeOfIt, {"/dev/null", "#"}},
    {InputFifo, {"|", ""}}, {InputFifoOutputLinkToIt, {"|", "korvanda.in"}}, {SecondRunSameFolder, {"|", ""}},
    {SecondRunOutputLinkedToInput, {"", "|"}}};
// clang-format on

// Makes `path` as `what` says; false, with why in `cannot`, where this
// machine cannot.
bool Make(const fs::path& path, const std::string& what,
          const std::optional<std::string>& contents, std::string& cannot) {
  struct stat null_device = {};
  if (what == "#" &&
      (stat("/dev/null", &null_device) != 0 ||
       mknod(path.c_str(), S_IFCHR | 0666, null_device.st_rdev) != 0)) {
    cannot = "needs to make a device node (root, and mknod allowed)";
    return false;
  }
  if (what == "/") fs::create_directory(path);
  if (what == "|") mkfifo(path.c_str(), 0600);
  if (what == "=")
    fs::create_hard_link(path.parent_path() / "korvanda.in", path);
  if (what.size() > 1) fs::create_symlink(what, path);
  if (what.empty() && contents) WriteFile(path, *contents);
  return true;
}

// Makes korvanda.in and korvanda.out as the scenario says; false, with
// why in `result.cannot`, where this machine cannot.
bool MakeFiles(const Scenario& setup, const fs::path& scratch,
               std::string& device, Result& result) {
  const auto named = Names.find(setup.folder);
  Made made = named != Names.end() ? named->second : Made{};
  if (setup.folder == BothOneBlockDevice) {
    std::string padded = setup.input.value_or("");
    padded.resize(4096, ' ');
    WriteFile(scratch / "device-image", padded);
    // None where this machine has none to give (no root, no loop driver).
    if (Capture({"losetup", "--find", "--show",
                 (scratch / "device-image").string()},
                device) != 0) {
      result.cannot = "needs a loop device (root and losetup)";
      return false;
    }
    device = device.substr(0, device.find('\n'));
    made = {device, device};
  }
  return Make(scratch / "run" / "korvanda.in", made.in, setup.input,
              result.cannot) &&
         Make(scratch / "run" / "korvanda.out", made.out, setup.earlier_output,
              result.cannot);
}

// One run of the scenario in a folder of its own; false when Wine lost its
// server in it (a helper that never held its file included).
bool RunOnce(const Scenario& setup, Result& result) {
  result = Result{};
  ScratchFolder scratch;
  const fs::path folder = scratch.Path() / "run";
  const fs::path in = folder / "korvanda.in";
  const fs::path out = folder / "korvanda.out";
  fs::create_directory(folder);
  std::string device;
  if (!MakeFiles(setup, scratch.Path(), device, result)) return true;
  const Scenario::Folder kind = setup.folder;
  const pid_t writer =
      kind == InputFifo || kind == InputFifoOutputLinkToIt
          ? Spawn({"sh", "-c", "printf %s \"$1\" > korvanda.in", "sh",
                   setup.input.value_or("")},
                  folder, {})
          : -1;
  const bool held = kind == InputHeld || kind == InputHeldThenRenamed;
  const Holder holder = held ? HoldInput(folder) : Holder{};
  bool lost_server = held && !holder.held;
  if (kind == SecondRunSameFolder || kind == SecondRunOutputLinkedToInput) {
    lost_server |= RunWhileAnotherIsHeld(setup, folder, result);
  } else if (kind == InputHeldThenRenamed) {
    lost_server |= RunAndRenameInput(setup, folder, result);
  } else {
    lost_server |= Finish(Start(setup, folder), setup, result);
  }
  if (held) Release(holder);
  if (writer > 0) {
    // A writer the program never let in waits for good.
    kill(writer, SIGKILL);
    WaitFor(writer, Clock::now() + Patience, "the FIFO's writer");
  }
  result.output_after = ContentsOf(out);
  if (!setup.standard_output_file.empty()) {
    result.standard_output =
        ContentsOf(folder / StandardOutputName(setup)).value_or("");
  }
  result.link_target_after = ContentsOf(folder / "answer.txt");
  if (!device.empty()) {
    // What the device holds where the input was.
    std::string said;
    if (Capture({"losetup", "-d", device}, said) != 0) {
      ADD_FAILURE() << "harness: cannot let go of " << device;
    }
    result.input_after = ReadFile((scratch.Path() / "device-image").string())
                             .substr(0, setup.input.value_or("").size());
  } else if (!fs::is_symlink(in) && kind != InputHeldThenRenamed) {
    result.input_after = ContentsOf(in);
  }
  if (result.output_after && !fs::is_symlink(out)) {
    result.output_permissions = static_cast<int>(fs::status(out).permissions());
  }
  return !lost_server;
}

// The lines of a file of tab-separated fields, split.
std::vector<std::vector<std::string>> Fields(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(ReadFile(path));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    rows.emplace_back();
    for (std::string field; std::getline(fields, field, '\t');) {
      rows.back().push_back(field);
    }
  }
  return rows;
}

// The fields of the table's row `name`: name, Linux, Windows, meaning.
std::vector<std::string> StatusRow(const std::string& name) {
  for (const auto& row : Fields(KORVANDA_EXIT_STATUSES)) {
    if (row.size() >= 4 && row[0] == name) return row;
  }
  ADD_FAILURE() << "no exit status named " << name;
  return {"", "-1", "-1", ""};
}

}  // namespace

const std::string& ProgramPath() { return CurrentTarget().program; }

const std::map<std::string, std::uint32_t>& StopPlaces() {
  static const std::map<std::string, std::uint32_t> places = [] {
    std::map<std::string, std::uint32_t> read;
    // Places only: a value of 8 hexadecimal digits, the source, the place.
    for (const auto& row :
         Fields(fs::path(ProgramPath()).parent_path() / "korvanda.stops.txt")) {
      if (row.size() > 2 && row[0].size() == 8 &&
          row[0].find_first_not_of("0123456789ABCDEF") == std::string::npos) {
        read[row[2]] =
            static_cast<std::uint32_t>(std::stoul(row[0], nullptr, 16));
      }
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
  ASSERT_TRUE(StopPlaces().contains(place))
      << "the map has no stop place " << place;
  EXPECT_EQ(report.site, StopPlaces().at(place))
      << "the stop is not at " << place;
}

void ExpectRun(const Result& r, int status, const char* place,
               const std::optional<std::string>& out,
               const std::optional<std::string>& input_after) {
  EXPECT_TRUE(r.exited) << "signal " << r.signal;
  EXPECT_EQ(r.status, status);
  if (status == 0) {
    EXPECT_EQ(r.standard_output, "");
  } else if (place == nullptr) {
    ADD_FAILURE() << "a stop names its place";
  } else if (*place == '-') {
    EXPECT_EQ(r.standard_output, "") << "the report is kept out";
  } else if (*place != '\0') {
    ExpectReport(r.standard_output, status, place);
  }
  EXPECT_EQ(r.output_after, out);
  EXPECT_EQ(r.input_after, input_after);
}

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

bool RunsWindowsProgram() { return !CurrentTarget().helper.empty(); }

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
  // Named for this process: a folder whose process has ended was left by
  // a test that was killed, and the suite's last test sweeps it.
  std::string pattern =
      (root / ("korvanda-e2e-" + std::to_string(getpid()) + "-XXXXXX"))
          .string();
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
