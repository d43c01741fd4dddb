#include <gtest/gtest.h>

#include <string>
#include <utility>

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
void ExpectAtTheClose(TextStream& s, const std::string& bytes) {
  EXPECT_EQ(fake::FileContents("out"), "") << "a short text waits";
  textio::CloseStream(s);
  EXPECT_EQ(fake::FileContents("out"), bytes);
  EXPECT_EQ(PendingIoStatus, 0u);
}

TEST(Written, IntegersAsDecimalText) {
  // clang-format off
  const std::pair<std::int32_t, std::string> integers[] = {
      {0, "0"}, {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"}, {-7, "-7"}};
  // clang-format on
  for (const auto& [value, text] : integers) {
    TextStream& s = OpenOutput();
    textio::WriteInteger(s, value);
    ExpectAtTheClose(s, text);
  }
}

TEST(Written, ALineOfTwoNumbers) {
  TextStream& s = OpenOutput();
  textio::WriteInteger(s, 5);
  textio::WriteChar(s, ' ');
  textio::WriteInteger(s, 3);
  textio::WriteLineEnd(s);
  ExpectAtTheClose(s, std::string{53, 32, 51, 13, 10});
}

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
