// The few operating-system services the program needs, as plain functions.
// Exactly one implementation is linked into a build: linux/ or windows/ for
// the program, the tests' in-memory fake for the unit tests. Nothing above
// this layer knows which one it got.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Wide enough for a POSIX descriptor and for a Windows HANDLE alike.
using FileHandle = std::intptr_t;
inline constexpr FileHandle InvalidFileHandle = -1;

// Opens an existing file for reading; other openers may still read it,
// and none may write it while it is open. A file held open for writing is
// refused. On failure returns InvalidFileHandle and LastError() tells why.
FileHandle OpenExistingForReading(const char* name);

// Creates the file, or truncates an existing one to zero length, for
// writing; other openers may neither read nor write it through the
// platform's own locks or sharing. A file held open by anyone else, this
// process's input under another name included, is refused before
// anything in it changes.
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

// Writes to the process's standard output; any failure goes unnoticed.
void WriteStandardOutput(const std::uint8_t* from, std::uint32_t count);

// A hint that the range is about to be written through: the platform may
// make all its pages ready at once rather than one fault at a time.
void PrepareToWrite(void* start, std::size_t bytes);

// Puts the process in a state where every end goes through EndProcess.
void PrepareProcess();

[[noreturn]] void EndProcess(std::int32_t status);

// The first byte of the running program's image, wherever it was loaded.
const void* ImageStart();

}  // namespace platform
