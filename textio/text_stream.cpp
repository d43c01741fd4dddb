#include "textio/text_stream.h"

namespace textio {

constinit TextStream StandardInput{};
constinit TextStream StandardOutput{};
constinit std::uint32_t PendingIoStatus = 0;

namespace {

constexpr int EndOfData = -1;
constexpr std::uint8_t EndOfDataByte = 26;
constexpr std::uint8_t LastBlank = 32;
constexpr int LongestIntegerText = 11;  // "-2147483648"

void Record(std::uint32_t status) { PendingIoStatus = status; }

// Starts a fresh block; false when there is nothing to hand out.
bool Refill(TextStream& stream) {
  stream.BufferPos = 0;
  stream.BufferEnd = 0;
  std::uint32_t got = 0;
  if (!platform::ReadFile(stream.Handle, stream.Buffer, StreamBufferSize,
                          got)) {
    Record(platform::LastError());
    return false;
  }
  if (got == 0) {
    stream.AtEnd = true;
    return false;
  }
  stream.BufferEnd = static_cast<std::int32_t>(got);
  return true;
}

int ReadByte(TextStream& stream) {
  if (stream.AtEnd) {
    return EndOfData;
  }
  if (stream.BufferPos == stream.BufferEnd && !Refill(stream)) {
    return EndOfData;
  }
  std::uint8_t byte = stream.Buffer[stream.BufferPos];
  if (byte == EndOfDataByte) {
    stream.AtEnd = true;
    return EndOfData;
  }
  ++stream.BufferPos;
  return byte;
}

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
      stream.Buffer[stream.BufferPos + i] = from[i];
    }
    stream.BufferPos += take;
    from += take;
    count -= take;
  }
}

void Open(TextStream& stream, StreamMode mode) {
  stream.Mode = mode;
  stream.BufferPos = 0;
  stream.BufferEnd = 0;
  stream.AtEnd = false;
  stream.Handle = mode == StreamMode::Input
                      ? platform::OpenExistingForReading(stream.Name)
                      : platform::CreateForWriting(stream.Name);
  if (stream.Handle == platform::InvalidFileHandle) {
    stream.Mode = StreamMode::Closed;
    Record(platform::LastError());
  }
}

int HexDigitValue(std::uint8_t c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

bool ParseDecimal(const std::uint8_t* p, const std::uint8_t* end, bool negative,
                  std::int32_t& value) {
  if (p == end) {
    return false;
  }
  const std::uint32_t limit = negative ? 2147483648u : 2147483647u;
  std::uint32_t magnitude = 0;
  for (; p != end; ++p) {
    std::uint32_t digit = static_cast<std::uint32_t>(*p) - '0';
    if (digit > 9 || magnitude > (limit - digit) / 10) {
      return false;
    }
    magnitude = magnitude * 10 + digit;
  }
  value = static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
  return true;
}

// The digits are a 32-bit pattern read as two's complement; leading zeros
// do not count towards the eight digits it can hold.
bool ParseHexadecimal(const std::uint8_t* p, const std::uint8_t* end,
                      std::int32_t& value) {
  if (p == end) {
    return false;
  }
  std::uint32_t bits = 0;
  int significant = 0;
  for (; p != end; ++p) {
    int digit = HexDigitValue(*p);
    if (digit < 0) {
      return false;
    }
    if ((significant > 0 || digit != 0) && ++significant > 8) {
      return false;
    }
    bits = bits << 4 | static_cast<std::uint32_t>(digit);
  }
  value = static_cast<std::int32_t>(bits);
  return true;
}

}  // namespace

bool ParseInteger(const std::uint8_t* token, int length, std::int32_t& value) {
  if (length <= 0) {
    return false;
  }
  const std::uint8_t* end = token + length;
  std::uint8_t first = token[0];
  if (first == '+' || first == '-') {
    return ParseDecimal(token + 1, end, first == '-', value);
  }
  if (first == '$' || first == 'x' || first == 'X') {
    return ParseHexadecimal(token + 1, end, value);
  }
  if (first == '0' && length >= 2 && (token[1] == 'x' || token[1] == 'X')) {
    return ParseHexadecimal(token + 2, end, value);
  }
  return ParseDecimal(token, end, false, value);
}

void BindStream(TextStream& stream, const char* name) {
  stream.Mode = StreamMode::Closed;
  stream.BufferPos = 0;
  stream.BufferEnd = 0;
  stream.AtEnd = false;
  stream.Handle = platform::InvalidFileHandle;
  int length = 0;
  for (; length < MaxFileNameLength && name[length] != '\0'; ++length) {
    stream.Name[length] = name[length];
  }
  stream.Name[length] = '\0';
}

void OpenForReading(TextStream& stream) { Open(stream, StreamMode::Input); }

void OpenForWriting(TextStream& stream) { Open(stream, StreamMode::Output); }

std::int32_t ReadInteger(TextStream& stream) {
  int c = ReadByte(stream);
  while (c != EndOfData && c <= LastBlank) {
    c = ReadByte(stream);
  }
  if (c == EndOfData) {
    return 0;
  }
  std::uint8_t token[MaxTokenLength];
  int length = 0;
  token[length++] = static_cast<std::uint8_t>(c);
  while (length < MaxTokenLength) {
    c = ReadByte(stream);
    if (c == EndOfData) {
      break;
    }
    if (c <= LastBlank) {
      --stream.BufferPos;  // the blank stays for the next read
      break;
    }
    token[length++] = static_cast<std::uint8_t>(c);
  }
  std::int32_t value = 0;
  if (!ParseInteger(token, length, value)) {
    Record(InvalidNumberStatus);
  }
  return value;
}

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
  return platform::WriteFile(stream.Handle, stream.Buffer, count)
             ? 0
             : platform::LastError();
}

void CloseStream(TextStream& stream) {
  if (stream.Mode == StreamMode::Output) {
    std::uint32_t failure = WritePending(stream);
    if (failure != 0) {
      Record(failure);
      return;
    }
  }
  if (stream.Mode != StreamMode::Closed) {
    stream.Mode = StreamMode::Closed;
    if (!platform::CloseFile(stream.Handle)) {
      Record(platform::LastError());
    }
  }
}

}  // namespace textio
