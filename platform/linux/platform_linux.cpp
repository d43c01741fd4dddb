#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

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

// Where the file system cannot lock at all: NFS without its lock service
// says ENOLCK; FUSE file systems ENOSYS, EINVAL or EOPNOTSUPP.
bool NoLocksOffered(int error) {
  return error == ENOLCK || error == EINVAL || error == ENOSYS ||
         error == EOPNOTSUPP;
}

// Two runs in one folder must not write one answer over the other, nor one
// run empty the file another is reading: a regular file is locked while it
// is open, shared for reading, exclusive for writing, without waiting. 0,
// or why the file cannot be had: EBUSY when another run holds it. A file
// system that offers no locks offers no such sharing: 0 with nothing
// locked, and the run goes on without it.
int LockWhereOffered(int fd, short type) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;  // from the start, to the end, however it grows
  if (Retried([&] { return fcntl(fd, F_OFD_SETLK, &lock); }) == 0) {
    return 0;
  }
  if (errno == EAGAIN || errno == EACCES) {
    return EBUSY;
  }
  return NoLocksOffered(errno) ? 0 : errno;
}

// A device is known by the device, whichever node names it (its kind
// stands for the volume, and is never 0); any other file by its inode.
FileIdentity IdentityOf(const struct stat& info) {
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
    return {info.st_mode & S_IFMT, {info.st_rdev, 1}};
  }
  return {info.st_dev, {info.st_ino, 0}};
}

// Only a regular file or a disk keeps what is written over it.
Found Kind(int looked, const struct stat& info, FileIdentity& identity) {
  if (looked != 0) {
    return Found::Unknown;
  }
  identity = IdentityOf(info);
  return S_ISREG(info.st_mode) || S_ISBLK(info.st_mode) ? Found::Keeping
                                                        : Found::Passing;
}

// What the input and the output are, from the first look at what was
// opened, kept even where the lock is then refused. The output must never
// be the input, by any name, nor the same device.
constinit FileIdentity Seen[2] = {};
constinit Taken What[2] = {};
constexpr auto Input = static_cast<int>(Opened::Input);
constexpr auto Output = static_cast<int>(Opened::Output);

// Every file the program opens goes through here, in this order: one
// ordinary open, close-on-exec (a FIFO waits for its other end, a lease
// for its break, as any program's open would); a look at what was opened;
// a folder refused at once, not after the output has been emptied; a
// regular file locked. The descriptor, or -1 with errno saying why.
int OpenAndHold(const char* name, int flags, short lock, struct stat& info,
                Opened opened) {
  const int fd = Retried([&] { return open(name, flags | O_CLOEXEC, 0666); });
  if (fd < 0) {
    return -1;
  }
  Taken& taken = What[static_cast<int>(opened)];
  if (Retried([&] { return fstat(fd, &info); }) != 0) {
    taken = Taken::Unknown;
    return Refuse(fd, errno);
  }
  Seen[static_cast<int>(opened)] = IdentityOf(info);
  taken = Taken::Refused;
  if (S_ISDIR(info.st_mode)) {
    return Refuse(fd, EISDIR);
  }
  const int held = S_ISREG(info.st_mode) ? LockWhereOffered(fd, lock) : 0;
  if (held != 0) {
    return Refuse(fd, held);
  }
  taken = Taken::Held;
  return fd;
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
  struct stat info;
  return OpenAndHold(name, O_RDONLY, F_RDLCK, info, Opened::Input);
}

// Nothing is emptied until the file is known to be neither this run's
// input nor held by another run; then a regular file is emptied under
// this run's lock, so an answer another run finished meanwhile goes too.
// A device or a FIFO is never emptied.
FileHandle CreateForWriting(const char* name) {
  struct stat info;
  const int fd =
      OpenAndHold(name, O_WRONLY | O_CREAT, F_WRLCK, info, Opened::Output);
  if (fd < 0) {
    return InvalidFileHandle;
  }
  // The input was opened first: its identity is known, and no file's is 0.
  if (SameFile(IdentityOf(info), Seen[Input])) {
    What[Output] = Taken::Refused;
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
  WriteAll(STDOUT_FILENO, from, count);
}

Found LookAtStandardOutput(FileIdentity& identity) {
  struct stat info;
  const int looked = Retried([&] { return fstat(STDOUT_FILENO, &info); });
  return Kind(looked, info, identity);
}

Found LookAtName(const char* name, FileIdentity& identity) {
  struct stat info;
  const int looked = Retried([&] { return stat(name, &info); });
  // A loop of links leads to no file either.
  if (looked != 0 && (errno == ENOENT || errno == ENOTDIR || errno == ELOOP)) {
    return Found::Nowhere;
  }
  return Kind(looked, info, identity);
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

Taken TakenAs(Opened file, FileIdentity& identity) {
  identity = Seen[static_cast<int>(file)];
  return What[static_cast<int>(file)];
}

// Any lock a whole-file write lock would meet is another open file
// description's: another run's, another program's, or this run's own on
// the file it opened itself, never the shell's on standard output.
Hold StandardOutputHold() {
  struct flock probe = {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  if (Retried([&] { return fcntl(STDOUT_FILENO, F_OFD_GETLK, &probe); }) != 0) {
    return NoLocksOffered(errno) ? Hold::NoLocks : Hold::Unknown;
  }
  return probe.l_type == F_UNLCK ? Hold::Free : Hold::Held;
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
      ExitWith(ExitStatusOf(LastError()));
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
