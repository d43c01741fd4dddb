#include <gtest/gtest.h>

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

TEST(Writing, NumbersCharactersAndLineEndsAsBytes) {
  struct Case {
    void (*write)(TextStream&);
    std::string bytes;
  } cases[] = {
      {[](TextStream& s) { textio::WriteInteger(s, 0); }, "0"},
      {[](TextStream& s) { textio::WriteInteger(s, 2147483647); },
       "2147483647"},
      {[](TextStream& s) { textio::WriteInteger(s, -2147483647 - 1); },
       "-2147483648"},
      {[](TextStream& s) { textio::WriteInteger(s, -7); }, "-7"},
      {[](TextStream& s) {
         textio::WriteInteger(s, 5);
         textio::WriteChar(s, ' ');
         textio::WriteInteger(s, 3);
         textio::WriteLineEnd(s);
       },
       "5 3\r\n"},
  };
  for (const Case& c : cases) {
    TextStream& s = OpenOutput();
    c.write(s);
    EXPECT_EQ(fake::FileContents("out"), "") << "a short text waits";
    textio::CloseStream(s);
    EXPECT_EQ(fake::FileContents("out"), c.bytes);
    EXPECT_EQ(PendingIoStatus, 0u);
  }
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

TEST(Opening, FailuresRecordTheCodeAndLeaveTheStreamClosed) {
  struct Case {
    const char* what;
    void (*setup)();
    void (*open)(TextStream&);
    std::uint32_t code;
  } cases[] = {
      {"missing input", [] {}, textio::OpenForReading, 2},
      {"refused input",
       [] {
         fake::PutFile("f", "1");
         fake::FailCall(Call::OpenRead, 5, "f");
       },
       textio::OpenForReading, 5},
      {"refused output", [] { fake::FailCall(Call::CreateWrite, 5, "f"); },
       textio::OpenForWriting, 5},
  };
  for (const Case& c : cases) {
    harness::ResetProcess();
    c.setup();
    TextStream& s = textio::InputFile;
    textio::BindStream(s, "f");
    c.open(s);
    EXPECT_EQ(PendingIoStatus, c.code) << c.what;
    EXPECT_EQ(s.Mode, StreamMode::Closed) << c.what;
    textio::CloseStream(s);
    EXPECT_EQ(fake::Misuses(), 0) << c.what << ": closed what was not open";
  }
}

TEST(Opening, ForWritingRefusesTheFileBeingRead) {
  harness::ResetProcess();
  fake::PutFile("f", "4 1 3 4");
  textio::BindStream(textio::InputFile, "f");
  textio::OpenForReading(textio::InputFile);
  textio::BindStream(textio::OutputFile, "f");
  textio::OpenForWriting(textio::OutputFile);
  EXPECT_EQ(PendingIoStatus, 16u);
  EXPECT_EQ(textio::OutputFile.Mode, StreamMode::Closed);
  EXPECT_EQ(fake::FileContents("f"), "4 1 3 4");
}

TEST(Opening, ForWritingTruncatesAtOnce) {
  harness::ResetProcess();
  fake::PutFile("out", "an earlier answer");
  TextStream& s = textio::OutputFile;
  textio::BindStream(s, "out");
  textio::OpenForWriting(s);
  EXPECT_EQ(fake::FileContents("out"), "");
}

TEST(Reading, PlatformErrorRecordsCodeAndEndsThatRead) {
  struct Case {
    const char* what;
    int failing_read;
    std::int32_t before_failure;  // tokens read whole before it
  } cases[] = {
      {"first read", 1, 0},
      {"refill inside the data", 2, 25},
  };
  for (const Case& c : cases) {
    harness::ResetProcess();
    // 25 whole tokens fit the first 128-byte block; the 26th is cut by it.
    std::string data;
    for (int i = 0; i < 40; ++i) {
      data += "1000 ";
    }
    fake::PutFile("in", data);
    fake::FailCall(Call::Read, 23, "in", c.failing_read);
    TextStream& s = textio::InputFile;
    textio::BindStream(s, "in");
    textio::OpenForReading(s);
    int whole = 0;
    while (PendingIoStatus == 0 && textio::ReadInteger(s) == 1000) {
      ++whole;
    }
    EXPECT_EQ(PendingIoStatus, 23u) << c.what;
    EXPECT_EQ(whole, c.before_failure) << c.what;
    EXPECT_EQ(s.Mode, StreamMode::Input) << c.what;
    EXPECT_FALSE(s.AtEnd) << c.what;
  }
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

TEST(Closing, FailedCloseRecordsCodeAndTheStreamIsClosedAllTheSame) {
  for (const char* name : {"in", "out"}) {
    harness::ResetProcess();
    fake::PutFile("in", "1");
    TextStream& s = textio::InputFile;
    if (std::string(name) == "in") {
      textio::BindStream(s, "in");
      textio::OpenForReading(s);
    } else {
      textio::BindStream(s, "out");
      textio::OpenForWriting(s);
      textio::WriteInteger(s, 9);
    }
    fake::FailCall(Call::Close, 5, name);
    textio::CloseStream(s);
    EXPECT_EQ(PendingIoStatus, 5u) << name;
    EXPECT_EQ(s.Mode, StreamMode::Closed) << name;
    textio::CloseStream(s);
    EXPECT_EQ(fake::Misuses(), 0) << name << ": closed twice";
  }
  EXPECT_EQ(fake::FileContents("out"), "9");
}

TEST(Status, LaterFailureOfAGroupOverwritesAndSuccessNeverClears) {
  harness::ResetProcess();
  fake::PutFile("in", "x 5");
  TextStream& s = textio::InputFile;
  textio::BindStream(s, "in");
  textio::OpenForReading(s);
  textio::ReadInteger(s);
  EXPECT_EQ(PendingIoStatus, 106u);
  EXPECT_EQ(textio::ReadInteger(s), 5);
  EXPECT_EQ(PendingIoStatus, 106u);
  fake::FailCall(Call::Close, 9, "in");
  textio::CloseStream(s);
  EXPECT_EQ(PendingIoStatus, 9u);
}

}  // namespace
