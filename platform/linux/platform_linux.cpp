#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>

#include "platform/platform.h"

// The linker places this at the first byte of the loaded image.
extern "C" const char __ehdr_start[];

namespace platform {
namespace {

constexpr int FirstPrivateDescriptor = 3;

// An interrupted call did nothing and is made again.
template <typename Call>
auto Retried(Call call) {
  for (;;) {
    auto result = call();
    if (result >= 0 || errno != EINTR) {
      return result;
    }
  }
}

// Closes a file this run will not use and fails with `reason`.
int Refuse(int fd, int reason) {
  close(fd);
  errno = reason;
  return -1;
}

// A process may start with standard descriptors closed; a file opened then
// would take descriptor 1 and receive the report line. Our files never sit
// on 0, 1 or 2: the file's descriptor, or a copy above them (the first is
// closed), or -1 with the first still open.
int KeepOffStandardDescriptors(int fd) {
  if (fd >= FirstPrivateDescriptor) {
    return fd;
  }
  int moved = Retried(
      [&] { return fcntl(fd, F_DUPFD_CLOEXEC, FirstPrivateDescriptor); });
  if (moved >= 0) {
    close(fd);
  }
  return moved;
}

// Two runs in one folder must not write one answer over the other, nor
// one run empty the file another is reading. A regular file is locked
// while it is open: shared for reading, exclusive for writing, without
// waiting. The locks belong to the opening, not to the process, so an
// output that is the input under another name conflicts with this run's
// own lock on the input and is refused before it is emptied. 0, or why
// the file cannot be had: EBUSY when it is held, or the code of the call
// that failed, since then nobody can tell.
int Lock(int fd, short type) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;  // from the start, to the end, however it grows
  if (Retried([&] { return fcntl(fd, F_OFD_SETLK, &lock); }) == 0) {
    return 0;
  }
  return errno == EAGAIN ? EBUSY : errno;
}

bool WriteAllTo(int fd, const std::uint8_t* from, std::uint32_t count) {
  while (count > 0) {
    ssize_t done = Retried([&] { return write(fd, from, count); });
    if (done < 0) {
      return false;
    }
    if (done == 0) {
      errno = EIO;
      return false;
    }
    from += done;
    count -= static_cast<std::uint32_t>(done);
  }
  return true;
}

int OpenFile(const char* name, int flags) {
  return Retried([&] { return open(name, flags | O_CLOEXEC, 0666); });
}

// Opens an existing file without waiting. A lease another program holds
// would hold an ordinary open for the system's lease-break time (45 s); a
// non-blocking open refuses it at once (EWOULDBLOCK, taken as busy). A
// FIFO is the one file an open must wait on, for its other end: a writer
// that finds no reader (ENXIO) opens again the ordinary way, and a reader
// opens a second time, the ordinary way, while the first stays open, so a
// writer the first let in never meets a FIFO without a reader.
int OpenWithoutWaiting(const char* name, int flags, struct stat& info) {
  int fd = OpenFile(name, flags | O_NONBLOCK);
  if (fd < 0 && errno == ENXIO) {
    fd = OpenFile(name, flags);
  }
  if (fd < 0) {
    errno = errno == EWOULDBLOCK ? EBUSY : errno;
    return -1;
  }
  if (Retried([&] { return fstat(fd, &info); }) != 0) {
    return Refuse(fd, errno);
  }
  if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) {
    return fd;
  }
  if (S_ISFIFO(info.st_mode) && (flags & O_ACCMODE) == O_RDONLY) {
    const int waited = OpenFile(name, flags);
    const int saved = errno;
    close(fd);
    errno = saved;
    return waited;
  }
  // A device, or a FIFO with its reader: reads and writes wait as usual.
  return Retried([&] { return fcntl(fd, F_SETFL, 0); }) == 0
             ? fd
             : Refuse(fd, errno);
}

// The device this run reads its input from, if any: the same device under
// another name must not take the answer. Devices take no locks, so this
// run's own lock cannot tell. A device node carries its device's kind and
// number; any other file has the number 0, and no device has it.
struct Device {
  mode_t kind;
  dev_t number;
};
constinit Device InputDevice = {};

Device DeviceOf(const struct stat& info) {
  return {info.st_mode & S_IFMT, info.st_rdev};
}

// Removes the output this run made for itself and is refusing. The name
// may be a link that led nowhere: the file is the one the descriptor has,
// found by its path in /proc (none there, no path: the file stays).
void RemoveMade(int fd) {
  char link[32];
  char path[PATH_MAX];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t length = readlink(link, path, sizeof path - 1);
  path[length > 0 ? length : 0] = '\0';
  struct stat named;
  if (lstat(path, &named) != 0) {
    return;
  }
  // Only while the path still names the file this run made: one moved onto
  // it meanwhile stays. Uncounted: no test can time such a move, nor fail
  // fstat on a descriptor just opened.
  struct stat opened;
  // GCOVR_EXCL_BR_START
  if (fstat(fd, &opened) == 0 && named.st_ino == opened.st_ino &&
      named.st_dev == opened.st_dev) {
    unlink(path);
  }
  // GCOVR_EXCL_BR_STOP
}

// Whether an output just opened may take the answer: 0, or why not. A
// regular file is locked (`locked` says how that went), then emptied.
int CheckOutput(int fd, const struct stat& info, int& locked) {
  const Device device = DeviceOf(info);
  if (device.number != 0) {
    const bool input =
        InputDevice.kind == device.kind && InputDevice.number == device.number;
    return input ? EBUSY : 0;
  }
  if (!S_ISREG(info.st_mode)) {
    return 0;  // a FIFO takes the answer as it comes
  }
  locked = Lock(fd, F_WRLCK);
  if (locked != 0) {
    return locked;
  }
  return Retried([&] { return ftruncate(fd, 0); }) != 0 ? errno : 0;
}

void Ignore(int signal_number) {
  struct sigaction action = {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
}

}  // namespace

FileHandle OpenExistingForReading(const char* name) {
  struct stat info;
  int fd = OpenWithoutWaiting(name, O_RDONLY, info);
  if (fd < 0) {
    return InvalidFileHandle;
  }
  // Reading a directory would only fail later, after the output file had
  // already been emptied; refuse it here instead. A FIFO or a device is
  // shared by nature and left unlocked.
  int reason = S_ISDIR(info.st_mode)   ? EISDIR
               : S_ISREG(info.st_mode) ? Lock(fd, F_RDLCK)
                                       : 0;
  const int kept = reason == 0 ? KeepOffStandardDescriptors(fd) : -1;
  if (kept < 0) {
    return Refuse(fd, reason != 0 ? reason : errno);
  }
  InputDevice = DeviceOf(info);
  return kept;
}

// Nothing is emptied until the file is known to be held by no one else,
// this run's input included; and a refused run leaves no file it made. A
// new file is made without following a link, so the run knows it made it;
// a link that leads nowhere yet gets its file where it points.
FileHandle CreateForWriting(const char* name) {
  bool made = true;
  struct stat info = {};
  int fd = OpenFile(name, O_WRONLY | O_CREAT | O_EXCL);
  if (fd >= 0) {
    info.st_mode = S_IFREG;
  } else if (errno == EEXIST) {
    fd = OpenWithoutWaiting(name, O_WRONLY, info);
    made = fd < 0 && errno == ENOENT;
    if (made) {
      fd = OpenWithoutWaiting(name, O_WRONLY | O_CREAT, info);
    }
  }
  if (fd < 0) {
    return InvalidFileHandle;
  }
  int locked = EBUSY;
  int reason = CheckOutput(fd, info, locked);
  const int kept = reason == 0 ? KeepOffStandardDescriptors(fd) : -1;
  if (kept >= 0) {
    return kept;
  }
  // Removing is safe only while this run holds the file locked, or where
  // no run can lock it; never when another run holds it, whose answer
  // would go to a name no one can find.
  if (made && locked != EBUSY) {
    RemoveMade(fd);
  }
  return Refuse(fd, reason != 0 ? reason : errno);
}

bool ReadSome(FileHandle file, std::uint8_t* into, std::uint32_t capacity,
              std::uint32_t& got) {
  ssize_t done =
      Retried([&] { return read(static_cast<int>(file), into, capacity); });
  if (done < 0) {
    return false;
  }
  got = static_cast<std::uint32_t>(done);
  return true;
}

bool WriteAll(FileHandle file, const std::uint8_t* from, std::uint32_t count) {
  return WriteAllTo(static_cast<int>(file), from, count);
}

bool CloseFile(FileHandle file) {
  // On Linux the descriptor is gone even when close reports EINTR, so a
  // retry could close someone else's; EINTR is taken as done.
  return close(static_cast<int>(file)) == 0 || errno == EINTR;
}

std::uint32_t LastError() {
  // A failed call always sets errno; one that did not must still not end
  // the run with 0. Left uncounted: no test can make such a call.
  const auto code = static_cast<std::uint32_t>(errno);
  return code != 0 ? code : EIO;  // GCOVR_EXCL_BR_LINE
}

void WriteStandardOutput(const std::uint8_t* from, std::uint32_t count) {
  WriteAllTo(STDOUT_FILENO, from, count);
}

void PrepareProcess() {
  // A vanished reader of standard output or a file-size limit must show as
  // a failed write, not end the process with a signal.
  Ignore(SIGPIPE);
  Ignore(SIGXFSZ);
}

void EndProcess(std::int32_t status) { _exit(status); }

const void* ImageStart() { return __ehdr_start; }

}  // namespace platform
