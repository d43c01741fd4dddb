#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "harness.h"

namespace {

using fake::Call;
using textio::PendingIoStatus;
using textio::StreamMode;
using textio::TextStream;

TextStream& OpenOutput() {
  harness::ResetProcess();
  TextStream& s = textio::OutputFile;
  textio::BindStream(s, "out");
  textio::OpenForWriting(s);
  return s;
}

// README's examples of what is written, byte for byte; a short text waits
// in the buffer until the close.
struct WriteCase {
  const char* name;
  void (*write)(TextStream&);
  std::string bytes;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class Written : public testing::TestWithParam<WriteCase> {};

TEST_P(Written, AsTheseBytesAtTheClose) {
  const WriteCase& c = GetParam();
  TextStream& s = OpenOutput();
  c.write(s);
  EXPECT_EQ(fake::FileContents("out"), "") << "a short text waits";
  textio::CloseStream(s);
  EXPECT_EQ(fake::FileContents("out"), c.bytes);
  EXPECT_EQ(PendingIoStatus, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Readme, Written,
    testing::Values(
        WriteCase{"Zero", [](TextStream& s) { textio::WriteInteger(s, 0); },
                  "0"},
        WriteCase{"TheLargest",
                  [](TextStream& s) { textio::WriteInteger(s, 2147483647); },
                  "2147483647"},
        WriteCase{
            "TheSmallest",
            [](TextStream& s) { textio::WriteInteger(s, -2147483647 - 1); },
            "-2147483648"},
        WriteCase{"ANegative",
                  [](TextStream& s) { textio::WriteInteger(s, -7); }, "-7"},
        WriteCase{"ALineOfTwoNumbers",
                  [](TextStream& s) {
                    textio::WriteInteger(s, 5);
                    textio::WriteChar(s, ' ');
                    textio::WriteInteger(s, 3);
                    textio::WriteLineEnd(s);
                  },
                  std::string{53, 32, 51, 13, 10}}),
    [](const testing::TestParamInfo<WriteCase>& info) {
      return info.param.name;
    });

TEST(Writing, FullBufferGoesOutInBlocksOf128) {
  TextStream& s = OpenOutput();
  std::string expected;
  for (int i = 0; i < 100; ++i) {
    textio::WriteInteger(s, 1000 + i);
    textio::WriteLineEnd(s);
    expected += std::to_string(1000 + i) + "\r\n";
  }
  EXPECT_EQ(fake::FileContents("out"), expected.substr(0, 512));
  textio::CloseStream(s);
  EXPECT_EQ(fake::FileContents("out"), expected);
  EXPECT_EQ(PendingIoStatus, 0u);
}

TEST(Writing, FailedWriteOutOfFullBufferLosesTheRestOfThatWrite) {
  TextStream& s = OpenOutput();
  for (int i = 0; i < 64; ++i) {
    textio::WriteChar(s, 'a');
    textio::WriteChar(s, 'b');
  }
  fake::FailCall(Call::Write, 28, "out");
  textio::WriteInteger(s, 12345);
  EXPECT_EQ(PendingIoStatus, 28u);
  EXPECT_EQ(s.Mode, StreamMode::Output);
  textio::WriteChar(s, 'z');
  textio::CloseStream(s);
  EXPECT_EQ(fake::FileContents("out"), "z");
}

TEST(Closing, FailedWriteOutKeepsTheFileOpenAndLosesTheBytes) {
  TextStream& s = OpenOutput();
  textio::WriteInteger(s, 42);
  fake::FailCall(Call::Write, 28, "out");
  textio::CloseStream(s);
  EXPECT_EQ(PendingIoStatus, 28u);
  EXPECT_EQ(s.Mode, StreamMode::Output);
  EXPECT_TRUE(fake::FileIsOpen("out"));

  // The lost bytes are not sent again.
  textio::CloseStream(s);
  EXPECT_FALSE(fake::FileIsOpen("out"));
  EXPECT_EQ(s.Mode, StreamMode::Closed);
  EXPECT_EQ(fake::FileContents("out"), "");
  EXPECT_EQ(fake::Misuses(), 0);
}

}  // namespace
