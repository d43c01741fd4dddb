// Eight bytes of text examined at once, one byte a lane. Nothing carries
// from one lane into an earlier one, and the first byte always sits in the
// lowest lane, so runs are counted the same on either byte order.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace textio::lanes {

constexpr std::uint64_t EachByte(std::uint8_t b) {
  return 0x0101010101010101ULL * b;
}

inline constexpr std::uint64_t HighBits = EachByte(0x80);

inline std::uint64_t Load8(const std::uint8_t* p) {
  std::uint64_t bytes;
  std::memcpy(&bytes, p, sizeof bytes);
  if constexpr (std::endian::native == std::endian::big) {
    bytes = __builtin_bswap64(bytes);
  }
  return bytes;
}

// Copies 32 bytes, which may overlap, all read before any is written.
inline constexpr int MoveLength = 32;
inline void Move32(std::uint8_t* to, const std::uint8_t* from) {
  std::uint64_t first, second, third, fourth;
  std::memcpy(&first, from, 8);
  std::memcpy(&second, from + 8, 8);
  std::memcpy(&third, from + 16, 8);
  std::memcpy(&fourth, from + 24, 8);
  std::memcpy(to, &first, 8);
  std::memcpy(to + 8, &second, 8);
  std::memcpy(to + 16, &third, 8);
  std::memcpy(to + 24, &fourth, 8);
}

// The high bit of each lane whose byte lies in lo..hi (both below 128).
constexpr std::uint64_t Within(std::uint64_t bytes, std::uint8_t lo,
                               std::uint8_t hi) {
  std::uint64_t low7 = bytes & EachByte(0x7F);
  std::uint64_t from_lo = low7 + EachByte(static_cast<std::uint8_t>(0x80 - lo));
  std::uint64_t past_hi = low7 + EachByte(static_cast<std::uint8_t>(0x7F - hi));
  return from_lo & ~past_hi & ~bytes & HighBits;
}

// How many lanes, from the first, have their high bit set in `marked`.
constexpr int RunOf(std::uint64_t marked) {
  return std::countr_zero(~marked & HighBits) / 8;
}

// How many lanes, from the first, hold a decimal digit.
constexpr int DigitRun(std::uint64_t bytes) {
  // Two masks and an add; a carry out of a lane only reaches lanes after
  // the first that is not a digit.
  const std::uint64_t high = EachByte(0xF0);
  std::uint64_t not_digit = ((bytes & high) ^ EachByte('0')) |
                            (((bytes + EachByte(6)) & high) ^ EachByte('0'));
  return std::countr_zero(not_digit) / 8;
}

// How many lanes, from the first, hold a hexadecimal digit. Case is folded
// only where bit 6 is set, so that no byte but a digit lands on '0'..'9'.
constexpr int HexDigitRun(std::uint64_t bytes) {
  const std::uint64_t folded = bytes | ((bytes >> 1) & EachByte(0x20));
  return RunOf(Within(folded, '0', '9') | Within(folded, 'a', 'f'));
}

// How many lanes, from the first, hold a byte above 32 (a token's byte).
constexpr int NonBlankRun(std::uint64_t bytes) {
  return RunOf(Within(bytes, 33, 127) | (bytes & HighBits));
}

// How many lanes, from the first, hold a blank: 0 to 32 but 26, which
// ends the data.
constexpr int BlankRun(std::uint64_t bytes) {
  return RunOf(Within(bytes, 0, 32) & ~Within(bytes, 26, 26));
}

// The value of the first `count` (1..8) lanes, digits of `Base` already
// reduced to their values: pairs, then quads, then all eight, one
// multiplication a step.
template <std::uint64_t Base>
constexpr std::uint64_t LanesValue(std::uint64_t digits, int count) {
  std::uint64_t v = digits << (8 * (8 - count));
  v = (v * (Base * 256 + 1) >> 8) & 0x00FF00FF00FF00FFULL;
  v = (v * (Base * Base * 65536 + 1) >> 16) & 0x0000FFFF0000FFFFULL;
  return v * (Base * Base * Base * Base << 32 | 1) >> 32;
}

constexpr std::uint64_t DecimalValue(std::uint64_t bytes, int count) {
  return LanesValue<10>(bytes & EachByte(0x0F), count);
}

constexpr std::uint64_t HexValue(std::uint64_t bytes, int count) {
  // Letters, unlike digits, have bit 6 set, and their low four bits are
  // 1..6 for a..f: nine short of their values.
  std::uint64_t digits =
      (bytes & EachByte(0x0F)) + ((bytes >> 6) & EachByte(1)) * 9;
  return LanesValue<16>(digits, count);
}

}  // namespace textio::lanes
