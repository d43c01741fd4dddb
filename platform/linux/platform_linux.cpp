#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

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

// A process may start with standard descriptors closed; a file opened then
// would take descriptor 1 and receive the report line. Our files never sit
// on 0, 1 or 2.
int KeepOffStandardDescriptors(int fd) {
  if (fd < 0 || fd >= FirstPrivateDescriptor) {
    return fd;
  }
  int moved = Retried(
      [&] { return fcntl(fd, F_DUPFD_CLOEXEC, FirstPrivateDescriptor); });
  int saved = errno;
  close(fd);
  errno = saved;
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

// Opens the file, then lets `check` look at what was opened: a non-zero
// reason refuses it, and it is closed again.
template <typename Check>
FileHandle OpenChecked(const char* name, int flags, Check check) {
  int fd = KeepOffStandardDescriptors(
      Retried([&] { return open(name, flags | O_CLOEXEC, 0666); }));
  if (fd < 0) {
    return InvalidFileHandle;
  }
  struct stat info;
  int reason =
      Retried([&] { return fstat(fd, &info); }) != 0 ? errno : check(fd, info);
  if (reason == 0) {
    return fd;
  }
  close(fd);
  errno = reason;
  return InvalidFileHandle;
}

void Ignore(int signal_number) {
  struct sigaction action = {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
}

}  // namespace

FileHandle OpenExistingForReading(const char* name) {
  // Reading a directory would only fail later, after the output file had
  // already been emptied; refuse it here instead. A FIFO or a device is
  // shared by nature and left unlocked.
  return OpenChecked(name, O_RDONLY, [](int fd, const struct stat& info) {
    if (S_ISDIR(info.st_mode)) {
      return EISDIR;
    }
    return S_ISREG(info.st_mode) ? Lock(fd, F_RDLCK) : 0;
  });
}

FileHandle CreateForWriting(const char* name) {
  // Nothing is emptied until the file is known to be held by no one else,
  // this run's input included.
  return OpenChecked(
      name, O_WRONLY | O_CREAT, [](int fd, const struct stat& info) {
        if (!S_ISREG(info.st_mode)) {
          return 0;  // a FIFO or a device takes the answer as it comes
        }
        if (int held = Lock(fd, F_WRLCK); held != 0) {
          return held;
        }
        return Retried([&] { return ftruncate(fd, 0); }) != 0 ? errno : 0;
      });
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

void PrepareToWrite(void* start, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  // One call instead of a fault per page; a kernel without it refuses, and
  // the pages then fault in as they are touched, as they would anyway.
  auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  auto first = reinterpret_cast<std::uintptr_t>(start) & ~(page - 1);
  auto end = reinterpret_cast<std::uintptr_t>(start) + bytes;
  int saved = errno;
  madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
  errno = saved;
#else
  (void)start;
  (void)bytes;
#endif
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
