// Turning the bytes of a token into an integer: plain decimal digits, or
// any token by the full rules.
#pragma once

#include <cstdint>

#include "textio/byte_lanes.h"

namespace textio {

// Follows the data in every input buffer: not a blank, not a digit, not a
// sign or a prefix, so every scan stops on it.
inline constexpr std::uint8_t Sentinel = 0xFF;

inline constexpr std::uint8_t LastBlank = 32;

inline bool IsDigit(std::uint8_t byte) { return byte - 0u - '0' <= 9; }

// The run of decimal digits at `p`, 10 of them at most, with its value in
// `magnitude`: its length, 0 when `p` holds no digit. What ends the run is
// the caller's to judge. Looks at most 10 bytes ahead.
[[gnu::always_inline]] inline int DecimalRun(const std::uint8_t* p,
                                             std::uint64_t& magnitude) {
  const std::uint64_t head = lanes::Load8(p);
  int length = lanes::DigitRun(head);
  if (length == 8) {
    // Positions up to 10^9 have one or two digits more.
    magnitude = lanes::DecimalValue(head, 8);
    if (IsDigit(p[8])) {
      magnitude = magnitude * 10 + (p[8] - 0u - '0');
      length = 9;
      if (IsDigit(p[9])) {
        magnitude = magnitude * 10 + (p[9] - 0u - '0');
        length = 10;
      }
    }
  } else if (length != 0) {
    magnitude = lanes::DecimalValue(head, length);
  }
  return length;
}

namespace token_detail {

// Skips leading zeros, however many there are. Out of line: few tokens
// have them.
int SkipZeroRun(const std::uint8_t* p, int at);

inline int ScanDecimal(const std::uint8_t* p, int at, bool negative,
                       std::int32_t& value) {
  const int digits = p[at] == '0' ? SkipZeroRun(p, at) : at;
  std::uint64_t magnitude = 0;
  const int length = DecimalRun(p + digits, magnitude);
  // No digit at all, or a value out of range.
  if ((length == 0 && digits == at) ||
      magnitude > (negative ? 2147483648u : 2147483647u)) {
    return 0;
  }
  value = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(negative ? 0 - magnitude : magnitude));
  return digits + length;
}

// At most eight significant digits: a 32-bit pattern read as two's
// complement. A ninth leaves the token going on past what this returns.
inline int ScanHexadecimal(const std::uint8_t* p, int at, std::int32_t& value) {
  const int digits = p[at] == '0' ? SkipZeroRun(p, at) : at;
  const std::uint64_t bytes = lanes::Load8(p + digits);
  const int length = lanes::HexDigitRun(bytes);
  if (length == 0 && digits == at) {
    return 0;
  }
  const std::uint64_t bits = length == 0 ? 0 : lanes::HexValue(bytes, length);
  value = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
  return digits + length;
}

}  // namespace token_detail

// Reads an integer by the full rules, decimal with an optional sign or
// hexadecimal after a prefix, from `p` on, and returns how many bytes it
// took; 0 when they do not begin a valid integer. Whether the token ends
// there is the caller's to judge: it is valid only if it does. The bytes
// are followed, within 16 bytes of any digit, by one that is not a digit
// (a blank or the sentinel): the input buffer's look-ahead.
inline int ScanInteger(const std::uint8_t* p, std::int32_t& value) {
  switch (p[0]) {
    case '+':
      return token_detail::ScanDecimal(p, 1, false, value);
    case '-':
      return token_detail::ScanDecimal(p, 1, true, value);
    case '$':
    case 'x':
    case 'X':
      return token_detail::ScanHexadecimal(p, 1, value);
    case '0':
      if ((p[1] | 0x20) == 'x') {
        return token_detail::ScanHexadecimal(p, 2, value);
      }
      break;
    default:
      break;
  }
  return token_detail::ScanDecimal(p, 0, false, value);
}

}  // namespace textio
