// Buffered text files read as blank-separated integer tokens and written as
// decimal text. A failing operation records a code in PendingIoStatus and
// returns normally; callers check the status after each group of calls.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace textio {

inline constexpr int StreamBufferSize = 128;
inline constexpr int MaxTokenLength = 32;
inline constexpr int MaxFileNameLength = 259;
inline constexpr std::uint32_t InvalidNumberStatus = 106;
// Bytes past the data that a token scan may look at: reads still fill at
// most StreamBufferSize bytes.
inline constexpr int ScanSlack = 16;

enum class StreamMode : std::uint8_t { Closed, Input, Output };

struct TextStream {
  char Name[MaxFileNameLength + 1];
  StreamMode Mode;
  bool AtEnd;
  platform::FileHandle Handle;
  // Reading: next byte to hand out. Writing: bytes waiting in Buffer.
  std::int32_t BufferPos;
  // Reading: valid bytes in Buffer.
  std::int32_t BufferEnd;
  std::uint8_t Buffer[StreamBufferSize + ScanSlack];
};

extern TextStream StandardInput;
extern TextStream StandardOutput;

// 0 while nothing has failed; never set back to 0.
extern std::uint32_t PendingIoStatus;

void BindStream(TextStream& stream, const char* name);
void OpenForReading(TextStream& stream);
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

// Converts one whole token; false when it is not a valid integer.
bool ParseInteger(const std::uint8_t* token, int length, std::int32_t& value);

}  // namespace textio
