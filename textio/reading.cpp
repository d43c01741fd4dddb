// Integer tokens from a stream open for reading, by two routes: plain
// decimal digits that a blank ends inside the current block, converted
// where they stand; and every other token by the full rules, also where
// it stands when a blank ends it inside the block, and otherwise gathered
// first into a token of its own.
#include <cstring>

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

// Starts a fresh block; false when there is nothing to hand out. Kept out
// of line: the scans around it run once per token, it once per block.
[[gnu::noinline]] bool Refill(TextStream& stream) {
  stream.BufferPos = 0;
  stream.BufferEnd = 0;
  std::uint32_t got = 0;
  if (!platform::ReadSome(stream.Handle, stream.Buffer, StreamBufferSize,
                          got)) {
    got = 0;
    Record(platform::LastError());
  } else if (got == 0) {
    stream.AtEnd = true;
  }
  stream.BufferEnd = static_cast<std::int32_t>(got);
  stream.Buffer[got] = Sentinel;
  return got != 0;
}

// Moves to the first byte of the next token, in this block or a later one;
// false at the end of the data.
[[gnu::noinline]] bool SkipBlanks(TextStream& stream) {
  for (;;) {
    // Data ended by a byte 26 keeps that byte in the buffer and is met
    // again below; only an empty buffer needs the flag.
    if (stream.BufferPos == stream.BufferEnd &&
        (stream.AtEnd || !Refill(stream))) {
      return false;
    }
    const std::uint8_t* p = SkipBlankRun(stream.Buffer + stream.BufferPos);
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

// Copies a token that reaches the end of the block into `token`, from as
// many blocks as it spans, and returns its length. It ends at a blank,
// which stays in the stream, at the end of the data, or after its 32nd
// byte, without looking at the next.
int GatherToken(TextStream& stream, std::uint8_t* token) {
  int length = 0;
  for (;;) {
    int pos = stream.BufferPos;
    const int end = stream.BufferEnd;
    int take;
    do {
      std::memcpy(token + length, stream.Buffer + pos, 8);
      take = lanes::NonBlankRun(lanes::Load8(stream.Buffer + pos));
      take = take < end - pos ? take : end - pos;
      take = take < MaxTokenLength - length ? take : MaxTokenLength - length;
      pos += take;
      length += take;
    } while (take == 8);
    stream.BufferPos = pos;
    // Data ended by an empty read or a byte 26 never comes here: the
    // scans before stop there.
    if (length == MaxTokenLength || pos < end || !Refill(stream)) {
      break;
    }
  }
  std::memset(token + length, Sentinel, TokenLookahead);
  return length;
}

// A token that reaches the block's end, is cut, or is no integer at all:
// made a token of its own, followed by the sentinel, it must be an integer
// from end to end. The stream stands on its first byte, so it is never
// empty.
[[gnu::noinline]] std::int32_t ReadGatheredToken(TextStream& stream) {
  std::uint8_t token[MaxTokenLength + TokenLookahead];
  const int length = GatherToken(stream, token);
  std::int32_t value = 0;
  if (ScanInteger(token, value) != length) {
    Record(InvalidNumberStatus);
  }
  return value;
}

// Every token but plain digits inside the block: signs, prefixes, tokens
// that span blocks or are cut, and the end of a block or of the data. The
// stream stands on a token's first byte, the sentinel or the end byte.
[[gnu::noinline]] std::int32_t ReadAnyToken(TextStream& stream) {
  const std::uint8_t* start = stream.Buffer + stream.BufferPos;
  // The sentinel, or the end byte; a byte 255 that is data is found again
  // as the token's first byte.
  if (*start == Sentinel || *start == EndOfDataByte) {
    if (!SkipBlanks(stream)) {
      return 0;
    }
    start = stream.Buffer + stream.BufferPos;
  }
  // A token that a blank ends inside this block is read where it stands;
  // a blank byte is never the sentinel, so it lies inside the data. (With
  // nothing taken, the byte there is the token's own, never a blank.)
  std::int32_t value = 0;
  const int length = ScanInteger(start, value);
  if (length <= MaxTokenLength && start[length] <= LastBlank) {
    stream.BufferPos += length;
    return value;
  }
  return ReadGatheredToken(stream);
}

[[gnu::noinline]] std::int32_t ReadAfterBlankRun(TextStream& stream,
                                                 const std::uint8_t* p) {
  stream.BufferPos = static_cast<std::int32_t>(SkipBlankRun(p) - stream.Buffer);
  return ReadInteger(stream);
}

}  // namespace

std::int32_t ReadInteger(TextStream& stream) {
  // The sentinel stops these scans at the end of the data, so the common
  // token, plain digits after a blank or two, costs no test of the
  // block's end.
  const std::uint8_t* p = stream.Buffer + stream.BufferPos;
  // One or two blanks (a space, a line end) are stepped over here; a
  // longer run elsewhere, so that this path needs no frame of its own.
  if (IsBlank(*p) && IsBlank(*++p) && IsBlank(*++p)) {
    return ReadAfterBlankRun(stream, p);
  }
  std::uint64_t magnitude = 0;
  const int length = DecimalRun(p, magnitude);
  if (length <= 0) {
    // Not plain digits; or digits that may go on in the next block, which
    // only a gathered token can tell.
    stream.BufferPos = static_cast<std::int32_t>(p - stream.Buffer);
    return length == 0 ? ReadAnyToken(stream) : ReadGatheredToken(stream);
  }
  stream.BufferPos = static_cast<std::int32_t>(p + length - stream.Buffer);
  if (magnitude > 2147483647u) {
    Record(InvalidNumberStatus);
    return 0;
  }
  return static_cast<std::int32_t>(magnitude);
}

void StartReading(TextStream& stream) { stream.Buffer[0] = Sentinel; }

}  // namespace textio
