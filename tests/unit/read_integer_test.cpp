#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using textio::InputFile;
using textio::PendingIoStatus;

constexpr std::uint32_t Invalid = 106;

void OpenInput(const std::string& contents) {
  harness::ResetProcess();
  fake::PutFile("in", contents);
  textio::BindStream(InputFile, "in");
  textio::OpenForReading(InputFile);
  ASSERT_EQ(PendingIoStatus, 0u);
}

struct TokenCase {
  std::string token;
  std::int32_t value;  // meaningful when status is 0
  std::uint32_t status;
};

void PrintTo(const TokenCase& c, std::ostream* os) { *os << c.token; }

// A printable test name: letters and digits as they are, any other byte
// as _xHH.
std::string TokenName(const testing::TestParamInfo<TokenCase>& info) {
  std::string name;
  for (unsigned char c : info.param.token) {
    const char* hex = "0123456789ABCDEF";
    name += std::isalnum(c) ? std::string(1, static_cast<char>(c))
                            : std::string("_x") + hex[c >> 4] + hex[c & 15];
  }
  return name;
}

class SingleToken : public testing::TestWithParam<TokenCase> {};

TEST_P(SingleToken, ReadsAsItsValueOrIsRefused) {
  const TokenCase& c = GetParam();
  OpenInput(c.token);
  std::int32_t value = textio::ReadInteger(InputFile);
  EXPECT_EQ(PendingIoStatus, c.status) << "token '" << c.token << "'";
  if (c.status == 0) {
    EXPECT_EQ(value, c.value) << "token '" << c.token << "'";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, SingleToken,
    testing::Values(TokenCase{"17", 17, 0}, TokenCase{"+17", 17, 0},
                    TokenCase{"0017", 17, 0}, TokenCase{"-0", 0, 0},
                    TokenCase{"+0", 0, 0}, TokenCase{"0", 0, 0},
                    TokenCase{"000", 0, 0},
                    TokenCase{"2147483647", 2147483647, 0},
                    TokenCase{"-2147483648", -2147483647 - 1, 0},
                    TokenCase{"-2147483647", -2147483647, 0},
                    TokenCase{"00000000000000000000002147483647", 2147483647,
                              0},
                    TokenCase{"2147483648", 0, Invalid},
                    TokenCase{"-2147483649", 0, Invalid},
                    TokenCase{"99999999999", 0, Invalid},
                    TokenCase{"4294967296", 0, Invalid},
                    TokenCase{"21474836470", 0, Invalid}),
    TokenName);

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, SingleToken,
    testing::Values(TokenCase{"0x1F", 31, 0}, TokenCase{"0X1f", 31, 0},
                    TokenCase{"$1f", 31, 0}, TokenCase{"x1F", 31, 0},
                    TokenCase{"X1f", 31, 0}, TokenCase{"$FFFFFFFF", -1, 0},
                    TokenCase{"$80000000", -2147483647 - 1, 0},
                    TokenCase{"$000000001", 1, 0},
                    TokenCase{"$0000000000000000000000000000000", 0, 0},
                    TokenCase{"$abcdef", 0xabcdef, 0},
                    TokenCase{"$100000000", 0, Invalid},
                    TokenCase{"$G", 0, Invalid}, TokenCase{"0xx1", 0, Invalid}),
    TokenName);

INSTANTIATE_TEST_SUITE_P(
    Malformed, SingleToken,
    testing::Values(TokenCase{"12a", 0, Invalid}, TokenCase{"1.5", 0, Invalid},
                    TokenCase{"1e3", 0, Invalid},
                    TokenCase{"1,000", 0, Invalid}, TokenCase{"+", 0, Invalid},
                    TokenCase{"-", 0, Invalid}, TokenCase{"$", 0, Invalid},
                    TokenCase{"x", 0, Invalid}, TokenCase{"0x", 0, Invalid},
                    TokenCase{"-$5", 0, Invalid}, TokenCase{"+0x1", 0, Invalid},
                    TokenCase{"--1", 0, Invalid}, TokenCase{"0$1", 0, Invalid},
                    TokenCase{"00x1", 0, Invalid},
                    TokenCase{"\xEF\xBB\xBF"
                              "5",
                              0, Invalid},
                    TokenCase{"5\x7F", 0, Invalid}, TokenCase{":", 0, Invalid},
                    TokenCase{"9/", 0, Invalid},
                    TokenCase{"5\xFF", 0, Invalid}),
    TokenName);

struct SequenceCase {
  const char* name;
  std::string data;
  std::vector<std::int32_t> values;  // read in turn, each with status 0
};

void PrintTo(const SequenceCase& c, std::ostream* os) { *os << c.name; }

class TokenSequence : public testing::TestWithParam<SequenceCase> {};

TEST_P(TokenSequence, ReadsTheValuesInTurnThenZero) {
  const SequenceCase& c = GetParam();
  OpenInput(c.data);
  for (std::int32_t expected : c.values) {
    EXPECT_EQ(textio::ReadInteger(InputFile), expected);
  }
  for (int extra = 0; extra < 3; ++extra) {
    EXPECT_EQ(textio::ReadInteger(InputFile), 0);
  }
  EXPECT_EQ(PendingIoStatus, 0u);
}

const std::string Zeros39 = std::string(39, '0');
const std::string Digits200 = std::string(199, '0') + "7";

INSTANTIATE_TEST_SUITE_P(
    Delimiting, TokenSequence,
    testing::Values(
        SequenceCase{"MixedBlanks",
                     std::string("1 \t2\r\n3\0"
                                 "4\f5\v6\x01\x1F"
                                 "7",
                                 16),
                     {1, 2, 3, 4, 5, 6, 7}},
        SequenceCase{"EndByteStopsData",
                     std::string("5\x1A"
                                 "7"),
                     {5}},
        SequenceCase{"EndByteAfterBlanks", "  9 \n\x1A 8 7", {9}},
        SequenceCase{"ControlBlanksAfterDigits",
                     "$1F\x10 7\x19\x15 -3\x18\x11 0x2\x17 ",
                     {31, 7, -3, 2}},
        SequenceCase{"LastTokenWithoutLineEnd", "12 345", {12, 345}},
        SequenceCase{"Empty", "", {}},
        SequenceCase{"BlanksOnly", std::string(300, ' '), {}},
        SequenceCase{"LongRunCutAfter32", Zeros39 + "1", {0, 1}},
        SequenceCase{"Exactly32", std::string(31, '0') + "4 5", {4, 5}},
        SequenceCase{"RunOf33", std::string(32, '0') + "5", {0, 5}},
        SequenceCase{"RunCutSeveralTimes", Digits200, {0, 0, 0, 0, 0, 0, 7}},
        SequenceCase{"TokenAcrossBlocks",
                     std::string(126, ' ') + "123456 7",
                     {123456, 7}},
        SequenceCase{"EndByteInLaterBlock",
                     std::string(130, ' ') + "3\x1A"
                                             "4",
                     {3}}),
    [](const testing::TestParamInfo<SequenceCase>& info) {
      return info.param.name;
    });

TEST(TokenSequence, ShortPlatformReadsChangeNothing) {
  OpenInput("  10\t 200 3000\r\n40000 $A x10 " + Zeros39 + "1");
  fake::LimitReadsTo(3);
  for (std::int32_t expected : {10, 200, 3000, 40000, 10, 16, 0, 1, 0}) {
    EXPECT_EQ(textio::ReadInteger(InputFile), expected);
  }
  EXPECT_EQ(PendingIoStatus, 0u);
}

// Every token form placed across each point of a block boundary, with the
// blocks the platform hands over either full or short.
TEST(TokenSequence, TokensAcrossBlockBoundaries) {
  const TokenCase forms[] = {
      {"9", 9, 0},
      {"123456789", 123456789, 0},
      {"2147483647", 2147483647, 0},
      {"2147483648", 0, Invalid},
      {"00000000000000000000000000000012", 12, 0},
      {"-17", -17, 0},
      {"$1F", 31, 0},
      {"12a", 0, Invalid},
  };
  for (std::uint32_t limit : {0u, 7u}) {
    for (const TokenCase& form : forms) {
      for (int start = 96; start <= 130; ++start) {
        std::string data(static_cast<std::size_t>(start), ' ');
        data += form.token + "\r\n" + form.token + "\x1A" + "5";
        OpenInput(data);
        fake::LimitReadsTo(limit);
        for (int copy = 0; copy < 2; ++copy) {
          textio::PendingIoStatus = 0;
          std::int32_t value = textio::ReadInteger(InputFile);
          ASSERT_EQ(PendingIoStatus, form.status)
              << form.token << " at " << start << ", copy " << copy;
          if (form.status == 0) {
            ASSERT_EQ(value, form.value) << form.token << " at " << start;
          }
        }
        textio::PendingIoStatus = 0;
        EXPECT_EQ(textio::ReadInteger(InputFile), 0);
        EXPECT_EQ(PendingIoStatus, 0u);
      }
    }
  }
}

// Once the data has ended, nothing more is asked of the file: what it
// holds by then is never read.
TEST(TokenSequence, AfterTheEndTheFileIsNotReadAgain) {
  for (const std::string data : {"", "  \n", "4 \x1A 5"}) {
    OpenInput(data);
    while (textio::ReadInteger(InputFile) != 0) {
    }
    fake::PutFile("in", data + " 77 78");
    EXPECT_EQ(textio::ReadInteger(InputFile), 0) << data;
    EXPECT_EQ(textio::ReadInteger(InputFile), 0) << data;
    EXPECT_EQ(PendingIoStatus, 0u) << data;
  }
}

}  // namespace
