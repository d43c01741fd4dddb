#include "textio/text_stream.h"

#include <bit>
#include <cstring>

namespace textio {

constinit TextStream StandardInput{};
constinit TextStream StandardOutput{};
constinit std::uint32_t PendingIoStatus = 0;

namespace {

constexpr std::uint8_t EndOfDataByte = 26;
constexpr std::uint8_t LastBlank = 32;
constexpr int LongestIntegerText = 11;  // "-2147483648"
// Always follows the data in an input buffer: neither a blank nor a digit,
// so a scan stops at the end of the data without counting.
constexpr std::uint8_t Sentinel = 0xFF;

void Record(std::uint32_t status) { PendingIoStatus = status; }

// Starts a fresh block; false when there is nothing to hand out. Kept out
// of line: the token scans around it run once per token, it once per block.
[[gnu::noinline]] bool Refill(TextStream& stream) {
  stream.BufferPos = 0;
  stream.BufferEnd = 0;
  std::uint32_t got = 0;
  bool read =
      platform::ReadFile(stream.Handle, stream.Buffer, StreamBufferSize, got);
  if (!read) {
    got = 0;
    Record(platform::LastError());
  } else if (got == 0) {
    stream.AtEnd = true;
  }
  stream.BufferEnd = static_cast<std::int32_t>(got);
  stream.Buffer[got] = Sentinel;
  return got != 0;
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
  stream.Buffer[0] = Sentinel;
}

// The value of each byte as a hexadecimal digit, or -1.
constexpr struct HexDigitTable {
  std::int8_t Value[256];
  constexpr HexDigitTable() : Value() {
    for (int b = 0; b < 256; ++b) {
      Value[b] = b >= '0' && b <= '9'   ? static_cast<std::int8_t>(b - '0')
                 : b >= 'A' && b <= 'F' ? static_cast<std::int8_t>(b - 'A' + 10)
                 : b >= 'a' && b <= 'f' ? static_cast<std::int8_t>(b - 'a' + 10)
                                        : -1;
    }
  }
} HexDigits;

int HexDigitValue(std::uint8_t c) { return HexDigits.Value[c]; }

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

// Moves to the first byte of the next token; false at the end of the data.
bool SkipBlanks(TextStream& stream) {
  for (;;) {
    // Data ended by a byte 26 keeps that byte in the buffer and is met
    // again below; only an empty buffer needs the flag.
    if (stream.BufferPos == stream.BufferEnd &&
        (stream.AtEnd || !Refill(stream))) {
      return false;
    }
    const std::uint8_t* p = stream.Buffer + stream.BufferPos;
    while (*p <= LastBlank && *p != EndOfDataByte) {
      ++p;
    }
    stream.BufferPos = static_cast<std::int32_t>(p - stream.Buffer);
    if (stream.BufferPos < stream.BufferEnd) {
      if (*p == EndOfDataByte) {
        stream.AtEnd = true;
        return false;
      }
      return true;
    }
  }
}

// Eight bytes at a time: the decimal digits of a whole token are found and
// converted without a step per byte.
static_assert(std::endian::native == std::endian::little);

constexpr std::uint64_t EachByte(std::uint8_t b) {
  return 0x0101010101010101ULL * b;
}

std::uint64_t Load8(const std::uint8_t* p) {
  std::uint64_t bytes;
  std::memcpy(&bytes, p, sizeof bytes);
  return bytes;
}

// How many of the eight bytes, from the first, are digits.
int DigitRun(std::uint64_t bytes) {
  const std::uint64_t high = EachByte(0xF0);
  std::uint64_t not_digit = ((bytes & high) ^ EachByte('0')) |
                            (((bytes + EachByte(6)) & high) ^ EachByte('0'));
  return std::countr_zero(not_digit) / 8;
}

// The value of the first `count` (1..8) bytes, all digits: digit pairs,
// then quads, then all eight, one multiplication a step.
std::uint64_t DigitsValue(std::uint64_t bytes, int count) {
  std::uint64_t v = (bytes & EachByte(0x0F)) << (8 * (8 - count));
  v = (v * (10 * 256 + 1) >> 8) & 0x00FF00FF00FF00FFULL;
  v = (v * (100 * 65536 + 1) >> 16) & 0x0000FFFF0000FFFFULL;
  return v * (10000ULL << 32 | 1) >> 32;
}

// The run of decimal digits at `p`, when it holds 1 to 10 of them; 0
// otherwise. Looks at most 11 bytes ahead.
[[gnu::always_inline]] inline int DecimalRun(const std::uint8_t* p,
                                             std::uint64_t& magnitude) {
  std::uint64_t head = Load8(p);
  int length = DigitRun(head);
  if (length == 0) {
    return 0;
  }
  magnitude = DigitsValue(head, length);
  // Positions up to 10^9 have one or two digits more; longer runs are left
  // to the general conversion.
  if (length == 8) {
    unsigned digit = p[8] - 0u - '0';
    if (digit <= 9) {
      magnitude = magnitude * 10 + digit;
      length = 9;
      digit = p[9] - 0u - '0';
      if (digit <= 9) {
        magnitude = magnitude * 10 + digit;
        length = 10;
        if (p[10] - 0u - '0' <= 9) {
          return 0;
        }
      }
    }
  }
  return length;
}

std::int32_t InRange(std::uint64_t magnitude) {
  if (magnitude > 2147483647u) {
    Record(InvalidNumberStatus);
    return 0;
  }
  return static_cast<std::int32_t>(magnitude);
}

// The common token: digits ending in a blank inside this block. Anything
// else (a sign, a prefix, a run that reaches the sentinel and so may go on
// in the next block) is left unread for the general paths.
[[gnu::always_inline]] inline bool ReadDigitsInBlock(TextStream& stream,
                                                     std::int32_t& value) {
  const std::uint8_t* p = stream.Buffer + stream.BufferPos;
  std::uint64_t magnitude = 0;
  int length = DecimalRun(p, magnitude);
  if (length == 0 || p[length] > LastBlank) {
    return false;
  }
  stream.BufferPos += length;
  value = InRange(magnitude);
  return true;
}

// Any token, by the full rules; an invalid one records its status.
std::int32_t ConvertToken(const std::uint8_t* token, int length) {
  std::int32_t value = 0;
  if (!ParseInteger(token, length, value)) {
    Record(InvalidNumberStatus);
  }
  return value;
}

// How many of the eight bytes, from the first, are not blanks.
int NonBlankRun(std::uint64_t bytes) {
  // Per byte, without carries between bytes: the high bit of the sum is
  // set when the low seven bits exceed 32; a set high bit of the byte
  // itself (128..255) also counts as not blank.
  std::uint64_t over = (bytes & EachByte(0x7F)) + EachByte(0x7F - LastBlank);
  std::uint64_t not_blank = (over | bytes) & EachByte(0x80);
  return std::countr_zero(~not_blank & EachByte(0x80)) / 8;
}

// Any token, gathered eight bytes at a time from as many blocks as it
// spans. It ends at a blank, which stays in the stream, at the end of the
// data, or after its 32nd byte, without looking at the next.
[[gnu::noinline]] std::int32_t ReadTokenAcrossBlocks(TextStream& stream) {
  std::uint8_t token[MaxTokenLength + ScanSlack];
  int length = 0;
  for (;;) {
    int pos = stream.BufferPos;
    const int end = stream.BufferEnd;
    int take;
    do {
      std::uint64_t bytes = Load8(stream.Buffer + pos);
      std::memcpy(token + length, &bytes, sizeof bytes);
      take = NonBlankRun(bytes);
      take = take < end - pos ? take : end - pos;
      take = take < MaxTokenLength - length ? take : MaxTokenLength - length;
      pos += take;
      length += take;
    } while (take == 8);
    stream.BufferPos = pos;
    if (length == MaxTokenLength || pos < end || stream.AtEnd ||
        !Refill(stream)) {
      break;
    }
  }
  std::memset(token + length, Sentinel, ScanSlack);
  std::uint64_t magnitude = 0;
  if (length > 0 && DecimalRun(token, magnitude) == length) {
    return InRange(magnitude);
  }
  return ConvertToken(token, length);
}

// Everything but the common token: the end of a block or of the data, and
// tokens that span blocks or are not plain digits.
[[gnu::noinline]] std::int32_t ReadIntegerSlowly(TextStream& stream) {
  const std::uint8_t here = stream.Buffer[stream.BufferPos];
  if (stream.BufferPos == stream.BufferEnd || here == EndOfDataByte) {
    if (!SkipBlanks(stream)) {
      return 0;
    }
    // A fresh block: its first token is most likely plain digits.
    std::int32_t value;
    if (ReadDigitsInBlock(stream, value)) {
      return value;
    }
  }
  // A token led by a digit got here by reaching the block's end; any other
  // (a sign, a prefix) that ends inside this block is read where it stands.
  const std::uint8_t* p = stream.Buffer + stream.BufferPos;
  if (*p - 0u - '0' <= 9) {
    return ReadTokenAcrossBlocks(stream);
  }
  const int left = stream.BufferEnd - stream.BufferPos;
  const int limit = left < MaxTokenLength ? left : MaxTokenLength;
  int length = 0;
  while (length < limit && p[length] > LastBlank) {
    ++length;
  }
  if (length == left && length < MaxTokenLength) {
    return ReadTokenAcrossBlocks(stream);
  }
  stream.BufferPos += length;
  return ConvertToken(p, length);
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
  // The sentinel stops this scan at the end of the data, so the common
  // token, plain digits after a blank or two inside the block, costs no
  // test of the block's end.
  const std::uint8_t* p = stream.Buffer + stream.BufferPos;
  while (*p <= LastBlank && *p != EndOfDataByte) {
    ++p;
  }
  // ReadDigitsInBlock's test, kept inline here: going through the stream's
  // BufferPos between the scan and the conversion costs five instructions
  // a token, a twentieth of the whole.
  std::uint64_t magnitude = 0;
  int length = DecimalRun(p, magnitude);
  if (length == 0 || p[length] > LastBlank) {
    stream.BufferPos = static_cast<std::int32_t>(p - stream.Buffer);
    return ReadIntegerSlowly(stream);
  }
  stream.BufferPos = static_cast<std::int32_t>(p + length - stream.Buffer);
  return InRange(magnitude);
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
