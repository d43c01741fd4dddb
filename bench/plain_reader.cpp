// The reader without its tricks, for the benchmark only: a byte at a
// time, a token gathered into a 33-byte area and then converted, as the
// rules read. The program built with this in place of textio/reading.cpp
// shows what the eight-byte lanes buy.
#include "textio/stream_state.h"
#include "textio/text_stream.h"

namespace textio {
namespace {

constexpr int EndOfData = -1;

int ReadByte(TextStream& stream) {
  if (stream.AtEnd) {
    return EndOfData;
  }
  if (stream.BufferPos == stream.BufferEnd) {
    stream.BufferPos = 0;
    stream.BufferEnd = 0;
    std::uint32_t got = 0;
    if (!platform::ReadSome(stream.Handle, stream.Block(), StreamBufferSize,
                            got)) {
      Record(platform::LastError());
      return EndOfData;
    }
    if (got == 0) {
      stream.AtEnd = true;
      return EndOfData;
    }
    stream.BufferEnd = static_cast<std::int32_t>(got);
  }
  const std::uint8_t byte = stream.Block()[stream.BufferPos];
  if (byte == 26) {
    stream.AtEnd = true;
    return EndOfData;
  }
  ++stream.BufferPos;
  return byte;
}

int DigitValue(std::uint8_t c, int base) {
  int v = c >= '0' && c <= '9'   ? c - '0'
          : c >= 'a' && c <= 'f' ? c - 'a' + 10
          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                 : 99;
  return v < base ? v : -1;
}

bool ParseInteger(const std::uint8_t* token, int length, std::int32_t& value) {
  int at = 0;
  bool negative = false;
  int base = 10;
  if (token[0] == '+' || token[0] == '-') {
    negative = token[0] == '-';
    at = 1;
  } else if (token[0] == '$' || token[0] == 'x' || token[0] == 'X') {
    base = 16;
    at = 1;
  } else if (length > 1 && token[0] == '0' &&
             (token[1] == 'x' || token[1] == 'X')) {
    base = 16;
    at = 2;
  }
  if (at == length) {
    return false;
  }
  std::uint64_t magnitude = 0;
  for (; at < length; ++at) {
    const int digit = DigitValue(token[at], base);
    if (digit < 0) {
      return false;
    }
    magnitude = magnitude * static_cast<std::uint64_t>(base) +
                static_cast<std::uint64_t>(digit);
    if (magnitude > 0xFFFFFFFFu) {
      return false;
    }
  }
  if (base == 10 && magnitude > (negative ? 2147483648u : 2147483647u)) {
    return false;
  }
  const auto bits = static_cast<std::uint32_t>(magnitude);
  value = static_cast<std::int32_t>(negative ? 0u - bits : bits);
  return true;
}

}  // namespace

std::int32_t ReadInteger(TextStream& stream) {
  int byte = ReadByte(stream);
  while (byte != EndOfData && byte <= 32) {
    byte = ReadByte(stream);
  }
  if (byte == EndOfData) {
    return 0;
  }
  std::uint8_t token[MaxTokenLength + 1];
  int length = 0;
  while (byte != EndOfData && byte > 32) {
    token[length++] = static_cast<std::uint8_t>(byte);
    if (length == MaxTokenLength) {
      break;
    }
    byte = ReadByte(stream);
  }
  if (byte != EndOfData && byte <= 32) {
    --stream.BufferPos;  // the blank stays for the next read
  }
  token[length] = 0;
  std::int32_t value = 0;
  if (!ParseInteger(token, length, value)) {
    Record(InvalidNumberStatus);
  }
  return value;
}

void StartReading(TextStream&) {}

}  // namespace textio
