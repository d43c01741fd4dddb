// The reader against the plain model of the token rules (token_model.h):
// every short sequence over the bytes the reader tells apart, generated;
// then the tokens no short sequence reaches. Each is read from the start
// of the file, across a block's end at every cut, and in short reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "harness.h"
#include "token_model.h"

namespace {

constexpr std::uint32_t Invalid = textio::InvalidNumberStatus;
constexpr int Block = textio::StreamBufferSize;

// What each token must read as: its value, or refused.
struct Expected {
  std::int32_t value;
  std::uint32_t status;
};

std::vector<Expected> ModelOf(const std::string& data) {
  std::vector<Expected> tokens;
  for (const std::string& token : model::Tokens(
           reinterpret_cast<const std::uint8_t*>(data.data()), data.size())) {
    const std::optional<std::int32_t> value = model::Value(token);
    tokens.push_back(value ? Expected{*value, 0} : Expected{0, Invalid});
  }
  return tokens;
}

std::string Shown(const std::string& data) {
  std::string shown;
  for (unsigned char c : data) {
    char byte[8];
    std::snprintf(byte, sizeof byte, c > 32 && c < 127 ? "%c" : "\\x%02X", c);
    shown += byte;
  }
  return shown;
}

// Where the data stands in the file and how the platform hands it over:
// `blanks` spaces before it, reads of at most `limit` bytes (0: whole
// blocks).
struct Placement {
  int blanks;
  std::uint32_t limit;
};

// The placements that matter for data of `length` bytes: at the start of
// the file, ending exactly at the first block's end, cut by it after each
// of its bytes, starting the second block; and read a byte or three at a
// time.
std::vector<Placement> PlacementsFor(int length) {
  std::vector<Placement> placements = {{0, 0}, {0, 1}, {0, 3}};
  for (int blanks = Block - length; blanks <= Block; ++blanks) {
    placements.push_back({blanks < 0 ? 0 : blanks, 0});
  }
  return placements;
}

// Reads `data` placed so with the real reader: each token as expected, then
// 0 with nothing recorded, at the end of the data. False, with a failure
// said, when the reader differs.
bool ReadsAsExpected(const std::string& data,
                     const std::vector<Expected>& tokens, Placement at) {
  harness::ResetProcess();
  fake::PutFile("in",
                std::string(static_cast<std::size_t>(at.blanks), ' ') + data);
  fake::LimitReadsTo(at.limit);
  textio::BindStream(textio::InputFile, "in");
  textio::OpenForReading(textio::InputFile);
  for (std::size_t i = 0; i <= tokens.size(); ++i) {
    textio::PendingIoStatus = 0;
    const std::int32_t value = textio::ReadInteger(textio::InputFile);
    const Expected expected = i < tokens.size() ? tokens[i] : Expected{0, 0};
    if (textio::PendingIoStatus != expected.status ||
        (expected.status == 0 && value != expected.value)) {
      ADD_FAILURE() << "'" << Shown(data) << "' after " << at.blanks
                    << " blanks, reads of " << at.limit << ": token " << i
                    << " read " << value << " with status "
                    << textio::PendingIoStatus << ", not " << expected.value
                    << " with status " << expected.status;
      return false;
    }
  }
  if (!textio::InputFile.AtEnd) {
    ADD_FAILURE() << "'" << Shown(data) << "': the end of the data not met";
    return false;
  }
  return true;
}

// One byte of each class the reader tells apart: digits at both ends of
// their range, signs, every prefix letter, hexadecimal letters at both
// ends and the bytes just past them on both sides, the blanks at both
// ends of their range and the common ones, the end byte 26, and bytes
// that no token may hold, the first above the blanks and those on either
// side of the digits among them.
const std::string Alphabet = std::string("09+-$xXafAFgG@`:/!~") +
                             std::string("\0\t\n\r\x1F \x1A\x7F\x80\xFF", 10);

// Every sequence of up to 4 of those bytes (732,540 of them), at every
// placement: a faulty reader is caught on the first sequence it misreads.
// Tokens longer than 4 bytes are the next test's.
TEST(GeneratedTokens, EverySequenceOfUpToFourBytesReadsAsTheModelSays) {
  constexpr int MaxLength = 4;
  const int symbols = static_cast<int>(Alphabet.size());
  int failures = 0;
  for (int length = 1; length <= MaxLength; ++length) {
    const std::vector<Placement> placements = PlacementsFor(length);
    std::vector<int> digit(static_cast<std::size_t>(length), 0);
    std::string data(static_cast<std::size_t>(length), '\0');
    for (bool more = true; more && failures < 10;) {
      for (int i = 0; i < length; ++i) {
        data[static_cast<std::size_t>(i)] = Alphabet[static_cast<std::size_t>(
            digit[static_cast<std::size_t>(i)])];
      }
      const std::vector<Expected> tokens = ModelOf(data);
      for (const Placement& at : placements) {
        failures += ReadsAsExpected(data, tokens, at) ? 0 : 1;
      }
      // The next sequence, as an odometer counts.
      more = false;
      for (int i = length - 1; i >= 0 && !more; --i) {
        auto& d = digit[static_cast<std::size_t>(i)];
        d = d + 1 == symbols ? 0 : d + 1;
        more = d != 0;
      }
    }
  }
}

// Tokens written out with the values they must read as, each read alone at
// every placement and checked against the model too. The model and the
// reader have one author, and only a literal catches a misreading the two
// share: README's table of forms and its other examples come first; then
// what no four bytes reach: the limits of the 32-bit range, nine and ten
// digits, eight significant hexadecimal digits, 32-byte tokens and longer
// runs.
struct TokenCase {
  const char* name;
  std::string data;
  std::vector<Expected> tokens;
};

void PrintTo(const TokenCase& c, std::ostream* os) { *os << c.name; }

class Tokens : public testing::TestWithParam<TokenCase> {};

TEST_P(Tokens, ReadAsWrittenAndAsTheModelSays) {
  const TokenCase& c = GetParam();
  const std::vector<Expected> model = ModelOf(c.data);
  ASSERT_EQ(model.size(), c.tokens.size()) << "the model";
  for (std::size_t i = 0; i < c.tokens.size(); ++i) {
    EXPECT_EQ(model[i].status, c.tokens[i].status) << "the model, token " << i;
    EXPECT_EQ(model[i].value, c.tokens[i].value) << "the model, token " << i;
  }
  for (const Placement& at : PlacementsFor(static_cast<int>(c.data.size()))) {
    ReadsAsExpected(c.data, c.tokens, at);
  }
}

std::string Zeros(int n) {
  return std::string(static_cast<std::size_t>(n), '0');
}

std::vector<Expected> Refused(int count) {
  return std::vector<Expected>(static_cast<std::size_t>(count), {0, Invalid});
}

// Every blank, 0 to 32 but the end byte 26, between two tokens.
std::string EveryBlankBetween(const std::string& a, const std::string& b) {
  std::string data = a;
  for (int byte = 0; byte <= 32; ++byte) {
    if (byte != 26) data += static_cast<char>(byte);
  }
  return data + b;
}

constexpr std::int32_t Min = -2147483647 - 1;

INSTANTIATE_TEST_SUITE_P(
    Readme, Tokens,
    testing::Values(
        TokenCase{"Decimal", "17 +17 0017", {{17, 0}, {17, 0}, {17, 0}}},
        TokenCase{"Zero", "-0 +0 0 000", {{0, 0}, {0, 0}, {0, 0}, {0, 0}}},
        TokenCase{
            "TheLimits", "2147483647 -2147483648", {{2147483647, 0}, {Min, 0}}},
        TokenCase{"BeyondTheLimits", "2147483648 -2147483649 99999999999",
                  Refused(3)},
        TokenCase{"Hexadecimal",
                  "0x1F 0X1f $1f x1F X1f",
                  {{31, 0}, {31, 0}, {31, 0}, {31, 0}, {31, 0}}},
        TokenCase{"AllBitsSet", "$FFFFFFFF", {{-1, 0}}},
        TokenCase{"TheTopBitAlone", "$80000000", {{Min, 0}}},
        TokenCase{"LeadingZerosAreFree", "$000000001", {{1, 0}}},
        TokenCase{"NineSignificantDigits", "$100000000", Refused(1)},
        TokenCase{"NotIntegers",
                  "12a 1.5 1e3 1,000 + - $ x 0x -$5 +0x1 --1 0$1", Refused(13)},
        TokenCase{
            "AnyBlankSeparates", EveryBlankBetween("5", "7"), {{5, 0}, {7, 0}}},
        TokenCase{"TheEndByteEndsTheData",
                  "5\x1A"
                  "7 9",
                  {{5, 0}}},
        TokenCase{"AByteOrderMark",
                  "\xEF\xBB\xBF"
                  "4 5",
                  {{0, Invalid}, {5, 0}}},
        TokenCase{"BytesAbove126",
                  "1\x7F 2\x80 \xFF"
                  "3",
                  Refused(3)},
        TokenCase{"ARunOf40IsTwoTokens", Zeros(39) + "1", {{0, 0}, {1, 0}}},
        TokenCase{"ExactlyThirtyTwo", Zeros(31) + "4 5", {{4, 0}, {5, 0}}},
        TokenCase{"TheExampleInput",
                  "5 2 5 6 10",
                  {{5, 0}, {2, 0}, {5, 0}, {6, 0}, {10, 0}}}),
    [](const testing::TestParamInfo<TokenCase>& info) {
      return info.param.name;
    });

INSTANTIATE_TEST_SUITE_P(
    Long, Tokens,
    testing::Values(
        TokenCase{"BeyondTheRangeByMore", "4294967296 21474836470", Refused(2)},
        TokenCase{"NineAndTenDigits",
                  "123456789 1234567890 -999999999",
                  {{123456789, 0}, {1234567890, 0}, {-999999999, 0}}},
        TokenCase{"EightHexadecimalDigits",
                  "0x7FFFFFFF X0abcdef0",
                  {{2147483647, 0}, {0xabcdef0, 0}}},
        TokenCase{"NineHexadecimalDigits", "0x123456789", Refused(1)},
        TokenCase{"SignsAndZeros",
                  "12345678a +1234567 -00000012",
                  {{0, Invalid}, {1234567, 0}, {-12, 0}}},
        // 32 bytes are one token; a 33rd starts the next.
        TokenCase{
            "ThirtyTwoBytes", Zeros(22) + "2147483647", {{2147483647, 0}}},
        TokenCase{"ThirtyTwoHexadecimal", "$" + Zeros(31), {{0, 0}}},
        // Cut by a block's end after 17 bytes or more, a token's sign and
        // prefix are carried to the next block with the rest.
        TokenCase{"LongSignedAndPrefixed",
                  "-" + Zeros(21) + "2147483647 x" + Zeros(23) + "1F",
                  {{-2147483647, 0}, {31, 0}}},
        TokenCase{"ThirtyThreeBytes", Zeros(32) + "5", {{0, 0}, {5, 0}}},
        TokenCase{"TwoHundredBytes",
                  Zeros(199) + "7",
                  {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {7, 0}}}),
    [](const testing::TestParamInfo<TokenCase>& info) {
      return info.param.name;
    });

// Once the data has ended, nothing more is asked of the file: what it
// holds by then is never read.
TEST(TokensAtTheEnd, TheFileIsNotReadAgain) {
  for (const std::string data : {"", "  \n", "4 \x1A 5"}) {
    harness::ResetProcess();
    fake::PutFile("in", data);
    textio::BindStream(textio::InputFile, "in");
    textio::OpenForReading(textio::InputFile);
    while (textio::ReadInteger(textio::InputFile) != 0) {
    }
    fake::PutFile("in", data + " 77 78");
    EXPECT_EQ(textio::ReadInteger(textio::InputFile), 0) << data;
    EXPECT_EQ(textio::ReadInteger(textio::InputFile), 0) << data;
    EXPECT_EQ(textio::PendingIoStatus, 0u) << data;
  }
}

}  // namespace
