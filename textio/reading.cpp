// Integer tokens from a stream open for reading, each read where it
// stands: a token that the end of a block cuts is carried to just before
// the next block. Plain decimal digits after a blank or two, ended by a
// blank, take a short path; every other token, the end of a block and the
// end of the data take the general one.
#include "textio/stream_state.h"
#include "textio/text_stream.h"
#include "textio/token.h"

namespace textio {
namespace {

constexpr std::uint8_t EndOfDataByte = 26;

bool IsBlank(std::uint8_t byte) {
  return byte <= LastBlank && byte != EndOfDataByte;
}

// The first byte at or after `p` that is not a blank; the sentinel stops
// the scan. Out of line: most tokens follow a single blank.
[[gnu::noinline]] const std::uint8_t* SkipBlankRun(const std::uint8_t* p) {
  for (int run = 8; run == 8; p += run) {
    run = lanes::BlankRun(lanes::Load8(p));
  }
  return p;
}

// Reads the next block. The bytes from `keep` to the end of the data, a
// token that the block's end cut, move to just before it first, so that
// the token lies whole. False when nothing more came: the end of the
// data, or a failed read, whose code is recorded.
[[gnu::noinline]] bool Refill(TextStream& stream, int keep) {
  std::uint8_t* block = stream.Block();
  // The kept bytes are the last of the MaxTokenLength bytes before the
  // data's end, which the room before the block can always take.
  static_assert(lanes::MoveLength == MaxTokenLength);
  lanes::Move32(block - MaxTokenLength,
                block + stream.BufferEnd - MaxTokenLength);
  stream.BufferPos = keep - stream.BufferEnd;
  std::uint32_t got = 0;
  if (!platform::ReadSome(stream.Handle, block, StreamBufferSize, got)) {
    got = 0;
    Record(platform::LastError());
  } else if (got == 0) {
    stream.AtEnd = true;
  }
  stream.BufferEnd = static_cast<std::int32_t>(got);
  block[got] = Sentinel;
  return got != 0;
}

// Moves to the first byte of the next token, in this block or a later one;
// false at the end of the data.
[[gnu::noinline]] bool SkipBlanks(TextStream& stream) {
  for (;;) {
    // Data ended by a byte 26 keeps that byte in the buffer and is met
    // again below; only an empty buffer needs the flag.
    if (stream.BufferPos == stream.BufferEnd &&
        (stream.AtEnd || !Refill(stream, stream.BufferEnd))) {
      return false;
    }
    const std::uint8_t* p = SkipBlankRun(stream.Block() + stream.BufferPos);
    stream.BufferPos = static_cast<std::int32_t>(p - stream.Block());
    if (stream.BufferPos < stream.BufferEnd) {
      if (*p == EndOfDataByte) {
        stream.AtEnd = true;
        return false;
      }
      return true;
    }
  }
}

// How many of the `left` bytes at `start` belong to the token there: up to
// a blank or a byte 26, and at most MaxTokenLength.
int TokenLength(const std::uint8_t* start, int left) {
  int length = 0;
  int take;
  do {
    take = lanes::NonBlankRun(lanes::Load8(start + length));
    take = take < left - length ? take : left - length;
    length += take;
  } while (take == 8 && length < MaxTokenLength);
  // Whole lanes until the last step, so the count stops at 32 exactly.
  static_assert(MaxTokenLength % 8 == 0);
  return length;
}

// A token that reaches the end of the data, a run cut after its 32nd byte,
// or a token that is no integer, `length` bytes long as far as the data
// goes: the stream stands on its first byte. One that the block's end may
// have cut is read afresh once the next block has come (at most once for
// each byte it gains). The data has not ended yet here: the read that
// finds its end takes the token as it is.
[[gnu::noinline]] std::int32_t ReadWholeToken(TextStream& stream, int length) {
  if (length < MaxTokenLength &&
      stream.BufferPos + length == stream.BufferEnd &&
      Refill(stream, stream.BufferPos)) {
    return ReadInteger(stream);
  }
  std::uint8_t* start = stream.Block() + stream.BufferPos;
  stream.BufferPos += length;
  // The token must be an integer from end to end. The byte after it may be
  // a digit of a longer run: the sentinel stands in for it meanwhile.
  const std::uint8_t after = start[length];
  start[length] = Sentinel;
  std::int32_t value = 0;
  if (ScanInteger(start, value) != length) {
    Record(InvalidNumberStatus);
  }
  start[length] = after;
  return value;
}

// Every token but plain digits that a blank ends: signs, prefixes, and
// the end of a block or of the data. The stream stands on a token's
// first byte, the sentinel or the end byte.
[[gnu::noinline]] std::int32_t ReadAnyToken(TextStream& stream) {
  const std::uint8_t* start = stream.Block() + stream.BufferPos;
  // The sentinel, or the end byte; a byte 255 that is data is found again
  // as the token's first byte.
  if (*start == Sentinel || *start == EndOfDataByte) {
    if (!SkipBlanks(stream)) {
      return 0;
    }
    start = stream.Block() + stream.BufferPos;
  }
  // A token that a blank ends is read where it stands; a blank byte is
  // never the sentinel, so it lies inside the data. (With nothing taken,
  // the byte there is the token's own, never a blank.)
  std::int32_t value = 0;
  const int length = ScanInteger(start, value);
  if (length <= MaxTokenLength && start[length] <= LastBlank) {
    stream.BufferPos += length;
    return value;
  }
  return ReadWholeToken(
      stream, TokenLength(start, stream.BufferEnd - stream.BufferPos));
}

[[gnu::noinline]] std::int32_t ReadAfterBlankRun(TextStream& stream,
                                                 const std::uint8_t* p) {
  stream.BufferPos =
      static_cast<std::int32_t>(SkipBlankRun(p) - stream.Block());
  return ReadInteger(stream);
}

}  // namespace

std::int32_t ReadInteger(TextStream& stream) {
  // The sentinel stops these scans at the end of the data, so the common
  // token, plain digits after a blank or two, costs no test of the
  // block's end.
  const std::uint8_t* p = stream.Block() + stream.BufferPos;
  // One or two blanks (a space, a line end) are stepped over here; a
  // longer run elsewhere, so that this path needs no frame of its own.
  if (IsBlank(*p) && IsBlank(*++p) && IsBlank(*++p)) {
    return ReadAfterBlankRun(stream, p);
  }
  std::uint64_t magnitude = 0;
  const int length = DecimalRun(p, magnitude);
  if (length == 0 || p[length] > LastBlank) {
    stream.BufferPos = static_cast<std::int32_t>(p - stream.Block());
    // Digits up to the end of the data may go on in the next block.
    return length != 0 && stream.BufferPos + length == stream.BufferEnd
               ? ReadWholeToken(stream, length)
               : ReadAnyToken(stream);
  }
  stream.BufferPos = static_cast<std::int32_t>(p + length - stream.Block());
  if (magnitude > 2147483647u) {
    Record(InvalidNumberStatus);
    return 0;
  }
  return static_cast<std::int32_t>(magnitude);
}

void StartReading(TextStream& stream) { stream.Block()[0] = Sentinel; }

}  // namespace textio
