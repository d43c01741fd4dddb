// The reader against the plain model of the token rules (token_model.h):
// every short sequence over the bytes the reader tells apart, generated;
// then the tokens no short sequence reaches. Each is read from the start
// of the file, across a block's end at every cut, and in short reads.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "harness.h"
#include "rows.h"

namespace {

using harness::Token;
constexpr int Block = textio::StreamBufferSize;
const Token Bad(0, textio::InvalidNumberStatus);

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
bool ReadsAsExpected(const std::string& data, std::vector<Token> tokens,
                     Placement at) {
  bool ended = false;
  const std::vector<Token> read = harness::ReadTokens(
      std::string(static_cast<std::size_t>(at.blanks), ' ') + data,
      tokens.size(), at.limit, ended);
  tokens.emplace_back(0);
  if (read != tokens || !ended) {
    ADD_FAILURE() << testing::PrintToString(data) << " after " << at.blanks
                  << " blanks, reads of " << at.limit << ": read "
                  << testing::PrintToString(read) << ", not "
                  << testing::PrintToString(tokens)
                  << (ended ? "" : ", and the data had not ended");
  }
  return read == tokens && ended;
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
  const std::size_t symbols = Alphabet.size();
  int failures = 0;
  for (std::size_t length = 1, count = symbols; length <= 4;
       ++length, count *= symbols) {
    const std::vector<Placement> placements =
        PlacementsFor(static_cast<int>(length));
    // The n-th sequence: n's digits in base `symbols`.
    for (std::size_t n = 0; n < count && failures < 10; ++n) {
      std::string data;
      for (std::size_t rest = n; data.size() < length; rest /= symbols) {
        data += Alphabet[rest % symbols];
      }
      const std::vector<Token> tokens = harness::ModelTokens(data);
      for (const Placement& at : placements) {
        failures += ReadsAsExpected(data, tokens, at) ? 0 : 1;
      }
    }
  }
}

// Every kind of token, 1 to 33 bytes long, at every offset of the first
// block after a plain token, with a plain token after it: where a token
// stands in a block must not change how it reads.
TEST(GeneratedTokens, EveryKindAtEveryOffsetOfABlock) {
  int failures = 0;
  for (std::size_t at = 0; at < Block && failures < 10; ++at) {
    const std::string before = at == 0 ? "" : "8" + std::string(at - 1, ' ');
    for (std::size_t n = 1; n <= 33; ++n) {
      // Plain, signed, prefixed, hexadecimal, cut by 26; 33 bytes is over-long.
      for (const std::string& token :
           {std::string(n, '7'), "-" + std::string(n - 1, '3'),
            ("0x" + std::string(n, 'a')).substr(0, n),
            "$" + std::string(n - 1, 'F'), std::string(n - 1, '5') + "\x1A"}) {
        const std::string data = before + token + " 9";
        failures += !ReadsAsExpected(data, harness::ModelTokens(data), {0, 0});
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
  std::vector<Token> tokens;
};

void PrintTo(const TokenCase& c, std::ostream* os) { *os << c.name; }

class Tokens : public testing::TestWithParam<TokenCase> {};

TEST_P(Tokens, ReadAsWrittenAndAsTheModelSays) {
  const TokenCase& c = GetParam();
  EXPECT_EQ(harness::ModelTokens(c.data), c.tokens) << "the model";
  for (const Placement& at : PlacementsFor(static_cast<int>(c.data.size()))) {
    ReadsAsExpected(c.data, c.tokens, at);
  }
}

std::string Zeros(int n) {
  return std::string(static_cast<std::size_t>(n), '0');
}

std::vector<Token> Refused(int count) {
  return std::vector<Token>(static_cast<std::size_t>(count), Bad);
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

// clang-format off
INSTANTIATE_TEST_SUITE_P(Readme, Tokens, testing::Values(
  TokenCase{"Decimal",               "17 +17 0017",                                    {17, 17, 17}},
  TokenCase{"Zero",                  "-0 +0 0 000",                                    {0, 0, 0, 0}},
  TokenCase{"TheLimits",             "2147483647 -2147483648",                         {2147483647, Min}},
  TokenCase{"BeyondTheLimits",       "2147483648 -2147483649 99999999999",             Refused(3)},
  TokenCase{"Hexadecimal",           "0x1F 0X1f $1f x1F X1f",                          {31, 31, 31, 31, 31}},
  TokenCase{"AllBitsSet",            "$FFFFFFFF",                                      {-1}},
  TokenCase{"TheTopBitAlone",        "$80000000",                                      {Min}},
  TokenCase{"LeadingZerosAreFree",   "$000000001",                                     {1}},
  TokenCase{"NineSignificantDigits", "$100000000",                                     Refused(1)},
  TokenCase{"NotIntegers",           "12a 1.5 1e3 1,000 + - $ x 0x -$5 +0x1 --1 0$1", Refused(13)},
  TokenCase{"AnyBlankSeparates",     EveryBlankBetween("5", "7"),                      {5, 7}},
  TokenCase{"TheEndByteEndsTheData", "5\x1A" "7 9",                                   {5}},
  TokenCase{"AByteOrderMark",        "\xEF\xBB\xBF" "4 5",                             {Bad, 5}},
  TokenCase{"BytesAbove126",         "1\x7F 2\x80 \xFF" "3",                           Refused(3)},
  TokenCase{"ARunOf40IsTwoTokens",   Zeros(39) + "1",                                  {0, 1}},
  TokenCase{"ExactlyThirtyTwo",      Zeros(31) + "4 5",                                {4, 5}},
  TokenCase{"TheExampleInput",       "5 2 5 6 10",                                     {5, 2, 5, 6, 10}}),
  rows::ByName());

INSTANTIATE_TEST_SUITE_P(Long, Tokens, testing::Values(
  TokenCase{"BeyondTheRangeByMore",   "4294967296 21474836470",                        Refused(2)},
  TokenCase{"NineAndTenDigits",       "123456789 1234567890 -999999999",     {123456789, 1234567890, -999999999}},
  TokenCase{"EightHexadecimalDigits", "0x7FFFFFFF X0abcdef0",                          {2147483647, 0xabcdef0}},
  TokenCase{"NineHexadecimalDigits",  "0x123456789",                                   Refused(1)},
  TokenCase{"SignsAndZeros",          "12345678a +1234567 -00000012",                  {Bad, 1234567, -12}},
  // 32 bytes are one token; a 33rd starts the next.
  TokenCase{"ThirtyTwoBytes",         Zeros(22) + "2147483647",                        {2147483647}},
  TokenCase{"ThirtyTwoHexadecimal",   "$" + Zeros(31),                                 {0}},
  // Cut by a block's end after 17 bytes or more, a token's sign and prefix
  // are carried to the next block with the rest.
  TokenCase{"LongSignedAndPrefixed",  "-" + Zeros(21) + "2147483647 x" + Zeros(23) + "1F", {-2147483647, 31}},
  TokenCase{"ThirtyThreeBytes",       Zeros(32) + "5",                                 {0, 5}},
  TokenCase{"TwoHundredBytes",        Zeros(199) + "7",                                {0, 0, 0, 0, 0, 0, 7}}),
  rows::ByName());
// clang-format on

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
