// Buffered text files read as blank-separated integer tokens and written as
// decimal text. A failing operation records a code in PendingIoStatus and
// returns normally; callers check the status after each group of calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

namespace textio {

inline constexpr int StreamBufferSize = 128;
inline constexpr int MaxTokenLength = 32;
inline constexpr int MaxFileNameLength = 259;
inline constexpr std::uint32_t InvalidNumberStatus = 106;

// The buffer of a stream, Bytes, and its contract while reading:
//  - a block is read into Block(), StreamBufferSize bytes at most;
//  - a token that the block's end cut, at most MaxTokenLength - 1 bytes,
//    is moved to just before the next block first (BufferPos is then
//    negative), so that every token lies whole;
//  - the byte right after the data is always a sentinel (neither a blank,
//    a digit, a sign, a prefix nor the end-of-data byte), so a scan stops
//    there without counting;
//  - a scan may look up to InputLookahead bytes past any position up to
//    and including the sentinel's, into bytes that mean nothing.
// Writing uses Block() alone.
inline constexpr int InputLookahead = 16;
inline constexpr int CarryRoom = MaxTokenLength;

enum class StreamMode : std::uint8_t { Closed, Input, Output };

struct TextStream {
  char Name[MaxFileNameLength + 1];
  StreamMode Mode;
  bool AtEnd;
  platform::FileHandle Handle;
  // Reading: next byte to hand out. Writing: bytes waiting in the block.
  std::int32_t BufferPos;
  // Reading: valid bytes in the block.
  std::int32_t BufferEnd;
  std::uint8_t Bytes[CarryRoom + StreamBufferSize + InputLookahead];

  std::uint8_t* Block() { return Bytes + CarryRoom; }
};

// The program's two data files, "korvanda.in" and "korvanda.out" once
// bound; not the process's standard streams.
extern TextStream InputFile;
extern TextStream OutputFile;

// 0 while nothing has failed; never set back to 0.
extern std::uint32_t PendingIoStatus;

// The names are the program's own: one too long does not compile.
template <std::size_t Size>
void BindStream(TextStream& stream, const char (&name)[Size]) {
  static_assert(Size <= MaxFileNameLength + 1, "a name of 259 bytes at most");
  stream.Mode = StreamMode::Closed;
  stream.BufferPos = 0;
  stream.BufferEnd = 0;
  stream.AtEnd = false;
  stream.Handle = platform::InvalidFileHandle;
  std::memcpy(stream.Name, name, Size);  // with its zero byte
}

void OpenForReading(TextStream& stream);
// Refuses a file that is held open, InputFile's under another name too.
void OpenForWriting(TextStream& stream);

// Returns 0, recording nothing, once the data has ended.
std::int32_t ReadInteger(TextStream& stream);

void WriteInteger(TextStream& stream, std::int32_t value);
void WriteChar(TextStream& stream, char c);
void WriteLineEnd(TextStream& stream);
void CloseStream(TextStream& stream);

// Hands the waiting bytes to the file and empties the buffer whatever the
// outcome. Returns 0 or the platform code; records nothing itself.
std::uint32_t WritePending(TextStream& stream);

// For a run that is stopping: what OutputFile still waits for goes to its
// file; a failure is ignored.
void SaveOutputBeforeStop();

// For the end of every run: closes InputFile, then OutputFile.
void CloseDataFiles();

}  // namespace textio
