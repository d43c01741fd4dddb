#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/platform.h"

// The linker places this at the first byte of the loaded image.
extern "C" const char __ehdr_start[];

namespace platform {
namespace {

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

// Two runs in one folder must not write one answer over the other, nor one
// run empty the file another is reading: a regular file is locked while it
// is open, shared for reading, exclusive for writing, without waiting. 0,
// or why the file cannot be had: EBUSY when another run holds it. A file
// system that cannot lock at all (NFS without its lock service says
// ENOLCK, FUSE file systems ENOSYS, EINVAL or EOPNOTSUPP) offers no such
// sharing, and the run goes on without it.
int Lock(int fd, short type) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;  // from the start, to the end, however it grows
  if (Retried([&] { return fcntl(fd, F_OFD_SETLK, &lock); }) == 0) {
    return 0;
  }
  if (errno == EAGAIN || errno == EACCES) {
    return EBUSY;
  }
  const bool no_locks = errno == ENOLCK || errno == EINVAL || errno == ENOSYS ||
                        errno == EOPNOTSUPP;
  return no_locks ? 0 : errno;
}

// Every file the program opens goes through here, in this order: one
// ordinary open, close-on-exec (a FIFO waits for its other end, a lease
// for its break, as any program's open would); a look at what was opened;
// a folder refused at once, not after the output has been emptied; a
// regular file locked. The descriptor, or -1 with errno saying why.
int OpenAndHold(const char* name, int flags, short lock, struct stat& info) {
  const int fd = Retried([&] { return open(name, flags | O_CLOEXEC, 0666); });
  if (fd < 0) {
    return -1;
  }
  if (Retried([&] { return fstat(fd, &info); }) != 0) {
    return Refuse(fd, errno);
  }
  if (S_ISDIR(info.st_mode)) {
    return Refuse(fd, EISDIR);
  }
  const int held = S_ISREG(info.st_mode) ? Lock(fd, lock) : 0;
  return held == 0 ? fd : Refuse(fd, held);
}

// What the input is: the output must never be the same file, by any name,
// nor the same device; and no report goes into it, nor into whatever its
// name leads to, opened or not.
constinit struct stat Input = {};
constinit const char* InputName = "";  // none yet: a name of nothing

// One file by any name: the same inode, or device nodes of one kind for
// one device.
bool OneFile(const struct stat& a, const struct stat& b) {
  const bool device = S_ISCHR(a.st_mode) || S_ISBLK(a.st_mode);
  return (a.st_dev == b.st_dev && a.st_ino == b.st_ino) ||
         (device && (a.st_mode & S_IFMT) == (b.st_mode & S_IFMT) &&
          a.st_rdev == b.st_rdev);
}

// Standard output can be the input (korvanda 1<>korvanda.in) whether or
// not this run could open it: another program's lock, or no right to
// read, refuses the run's open, not the shell's. So standard output is
// compared with what the run opened and with what the input's name leads
// to now. Only a regular file or a disk keeps what is written over it; a
// terminal, a FIFO, a socket or a character device holds nothing the
// report could destroy. A look that fails keeps the report out: only a
// name that leads nowhere has nothing to protect.
bool MayReport() {
  struct stat out;
  if (Retried([&] { return fstat(STDOUT_FILENO, &out); }) != 0) {
    return false;
  }
  if (!S_ISREG(out.st_mode) && !S_ISBLK(out.st_mode)) {
    return true;
  }
  if (OneFile(out, Input)) {
    return false;
  }
  struct stat named;
  if (Retried([&] { return stat(InputName, &named); }) != 0) {
    return errno == ENOENT || errno == ENOTDIR;
  }
  return !OneFile(out, named);
}

}  // namespace

bool WriteAll(FileHandle file, const std::uint8_t* from, std::uint32_t count) {
  while (count > 0) {
    ssize_t done =
        Retried([&] { return write(static_cast<int>(file), from, count); });
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

FileHandle OpenExistingForReading(const char* name) {
  InputName = name;
  struct stat info;
  const int fd = OpenAndHold(name, O_RDONLY, F_RDLCK, info);
  if (fd >= 0) {
    Input = info;
  }
  return fd;
}

// Nothing is emptied until the file is known to be neither this run's
// input nor held by another run; then a regular file is emptied under
// this run's lock, so an answer another run finished meanwhile goes too.
// A device or a FIFO is never emptied.
FileHandle CreateForWriting(const char* name) {
  struct stat info;
  const int fd = OpenAndHold(name, O_WRONLY | O_CREAT, F_WRLCK, info);
  if (fd < 0) {
    return InvalidFileHandle;
  }
  if (OneFile(info, Input)) {
    return Refuse(fd, EBUSY);
  }
  const bool emptied =
      !S_ISREG(info.st_mode) || Retried([&] { return ftruncate(fd, 0); }) == 0;
  return emptied ? fd : Refuse(fd, errno);
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
  if (MayReport()) {
    WriteAll(STDOUT_FILENO, from, count);
  }
}

void PrepareProcess() {
  // A process may start with standard descriptors closed; a file opened
  // then would take one, and the report line would go into korvanda.out.
  // Each closed one is first opened on the null device (the lowest free
  // descriptor is always the one being filled), so the program's files
  // never take 0, 1 or 2. A run that cannot do it ends with that call's
  // code before it touches any file.
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) < 0 &&
        Retried([] { return open("/dev/null", O_RDWR); }) < 0) {
      EndProcess(LastError());
    }
  }
  // A vanished reader of standard output or a file-size limit must show as
  // a failed write, not end the process with a signal.
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

void ExitWith(std::uint8_t status) { _exit(status); }

const void* ImageStart() { return __ehdr_start; }

}  // namespace platform
