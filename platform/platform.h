// The few operating-system services the program needs, as plain functions.
// Exactly one implementation is linked into a build: linux/ or windows/ for
// the program, the tests' in-memory fake for the unit tests. Nothing above
// this layer knows which one it got.
#pragma once

#include <cstdint>

namespace platform {

// Wide enough for a POSIX descriptor and for a Windows HANDLE alike.
using FileHandle = std::intptr_t;
inline constexpr FileHandle InvalidFileHandle = -1;

// While a file is open, no other run of this program can write it: on
// Windows the system's sharing keeps every other writer out; on Linux the
// program's advisory locks keep out the programs that take them, another
// run among them, where the file system offers locks. Either way others
// may still read the file. An open never waits on another run's hold on a
// file (that refuses it); it waits as any program's would for a FIFO's
// other end, and for another program's lease or oplock to be broken.

// Opens an existing file for reading. A file another run is writing is
// refused. On failure returns InvalidFileHandle and LastError() tells why.
// The file, and its name (which must outlive the process), are the input
// from then on, opened or not.
FileHandle OpenExistingForReading(const char* name);

// Creates the file, or truncates an existing one to zero length, for
// writing. A file another run holds open, and this run's input under
// another name (a link, or the same device), are refused before anything
// in them changes; a regular file is truncated, empty or not, only once
// it is held (an empty one is marked modified, as any truncation marks
// it).
FileHandle CreateForWriting(const char* name);

// Reads up to `capacity` bytes; `got` is 0 at the end of the file.
bool ReadSome(FileHandle file, std::uint8_t* into, std::uint32_t capacity,
              std::uint32_t& got);

// Hands all `count` bytes to the file or fails: a partial write never
// counts as success.
bool WriteAll(FileHandle file, const std::uint8_t* from, std::uint32_t count);

bool CloseFile(FileHandle file);

// The platform's own non-zero code for the call that just failed.
std::uint32_t LastError();

// Writes to the process's standard output, with one call where the system
// takes it whole; any failure goes unnoticed. It judges nothing: whether
// the report may go there is decided above, over the looks below.
void WriteStandardOutput(const std::uint8_t* from, std::uint32_t count);

// Which file a handle or a name leads to, as the system tells files apart
// whatever their names: a volume and a number there; a device by the
// device itself, whichever node names it.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t number[2] = {};
};

// One file, as the system compares identities.
bool SameFile(const FileIdentity& a, const FileIdentity& b);

enum class Found {
  Keeping,  // a regular file or a disk: what is written there stays
  Passing,  // a terminal, a pipe, a socket, another device: it keeps nothing
  Nowhere,  // a name that leads to no file
  Unknown,  // the look failed
};

// What the process's standard output is now; Unknown where it has none.
Found LookAtStandardOutput(FileIdentity& identity);
// What a name leads to now, without opening it in any way another
// program's hold could refuse.
Found LookAtName(const char* name, FileIdentity& identity);
// What the run made of the input's, or the output's, name when it opened
// it, and which file that was: kept whatever came after (its lock
// refused, a rename, another run's end), so that nothing hides it.
enum class Opened { Input, Output };
enum class Taken {
  Nothing,  // the open found no file to look at
  Held,     // this run held it: opened, locked where locks are offered
  Refused,  // opened and looked at, then let go: another's, a folder, the
            // input again
  Unknown,  // opened, but the look at it failed
};
Taken TakenAs(Opened file, FileIdentity& identity);

enum class Hold {
  Free,     // nobody holds the file: no other handle of it, nor this
            // run's own, has a lock a writer would meet
  Held,     // some handle of it, this run's other ones included, does
  NoLocks,  // the system or its file system offers no locks to ask about
  Unknown,  // asking failed
};
// Whether standard output, a regular file or a disk, is held.
Hold StandardOutputHold();

// Puts the process in a state where every end comes back as a status and
// no file the program opens can take the place of a standard stream; a
// process that cannot be put so ends there, with the system's code.
void PrepareProcess();

// The exit status a failure code, never 0, ends the process with: its
// low 8 bits, or 255 where those are all zero (512, say), which would pass
// for success. Each code is mapped once, where it comes in: a stream
// status in failstop, a failed start here.
constexpr std::uint8_t ExitStatusOf(std::uint32_t code) {
  const auto low = static_cast<std::uint8_t>(code & 255);
  return low != 0 ? low : 255;
}

// Ends the process with that status: the system's own end.
[[noreturn]] void ExitWith(std::uint8_t status);

// The first byte of the running program's image, wherever it was loaded.
const void* ImageStart();

}  // namespace platform
