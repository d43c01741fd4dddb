// Decimal text into a stream open for writing. Bytes wait in the buffer
// until it fills or the stream is closed.
#include "textio/stream_state.h"
#include "textio/text_stream.h"

namespace textio {
namespace {

constexpr int LongestIntegerText = 11;  // "-2147483648"

void WriteBytes(TextStream& stream, const std::uint8_t* from, int count) {
  while (count > 0) {
    if (stream.BufferPos == StreamBufferSize) {
      std::uint32_t failure = WritePending(stream);
      if (failure != 0) {
        Record(failure);
        return;
      }
    }
    int room = StreamBufferSize - stream.BufferPos;
    int take = count < room ? count : room;
    for (int i = 0; i < take; ++i) {
      stream.Block()[stream.BufferPos + i] = from[i];
    }
    stream.BufferPos += take;
    from += take;
    count -= take;
  }
}

}  // namespace

void WriteInteger(TextStream& stream, std::int32_t value) {
  std::uint8_t text[LongestIntegerText];
  int start = LongestIntegerText;
  std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value)
                                      : static_cast<std::uint32_t>(value);
  do {
    text[--start] = static_cast<std::uint8_t>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) {
    text[--start] = '-';
  }
  WriteBytes(stream, text + start, LongestIntegerText - start);
}

void WriteChar(TextStream& stream, char c) {
  auto byte = static_cast<std::uint8_t>(c);
  WriteBytes(stream, &byte, 1);
}

void WriteLineEnd(TextStream& stream) {
  static constexpr std::uint8_t LineEnd[] = {13, 10};
  WriteBytes(stream, LineEnd, 2);
}

std::uint32_t WritePending(TextStream& stream) {
  if (stream.BufferPos == 0) {
    return 0;
  }
  auto count = static_cast<std::uint32_t>(stream.BufferPos);
  stream.BufferPos = 0;
  return platform::WriteAll(stream.Handle, stream.Block(), count)
             ? 0
             : platform::LastError();
}

}  // namespace textio
