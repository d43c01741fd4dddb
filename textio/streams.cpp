// A stream's life: bound to a name, opened, closed; and the two data
// files the program uses.
#include "textio/stream_state.h"
#include "textio/text_stream.h"

namespace textio {

constinit TextStream InputFile{};
constinit TextStream OutputFile{};
constinit std::uint32_t PendingIoStatus = 0;

namespace {

void Open(TextStream& stream, StreamMode mode) {
  stream.Mode = mode;
  stream.BufferPos = 0;
  stream.BufferEnd = 0;
  stream.AtEnd = false;
  stream.Handle = mode == StreamMode::Input
                      ? platform::OpenExistingForReading(stream.Name)
                      : platform::CreateForWriting(stream.Name);
  if (stream.Handle == platform::InvalidFileHandle) {
    stream.Mode = StreamMode::Closed;
    Record(platform::LastError());
  } else if (mode == StreamMode::Input) {
    StartReading(stream);
  }
}

}  // namespace

void OpenForReading(TextStream& stream) { Open(stream, StreamMode::Input); }

void OpenForWriting(TextStream& stream) { Open(stream, StreamMode::Output); }

void CloseStream(TextStream& stream) {
  if (stream.Mode == StreamMode::Output) {
    std::uint32_t failure = WritePending(stream);
    if (failure != 0) {
      Record(failure);
      return;
    }
  }
  if (stream.Mode != StreamMode::Closed) {
    stream.Mode = StreamMode::Closed;
    if (!platform::CloseFile(stream.Handle)) {
      Record(platform::LastError());
    }
  }
}

void SaveOutputBeforeStop() {
  if (OutputFile.Mode == StreamMode::Output && OutputFile.BufferPos >= 1) {
    (void)WritePending(OutputFile);
  }
}

void CloseDataFiles() {
  CloseStream(InputFile);
  CloseStream(OutputFile);
}

}  // namespace textio
