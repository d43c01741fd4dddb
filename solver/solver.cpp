#include "solver/solver.h"

#include "failstop/fail_stop.h"
#include "textio/text_stream.h"

namespace solver {

namespace {

// Indexed 1..MaxPointCount; entry 0 is never used.
constinit std::int32_t Positions[MaxPointCount + 1] = {};
constinit std::int32_t PointCount = 0;
constinit std::int32_t SplitIndex = 0;

std::int32_t Gap(std::int32_t i) { return Positions[i] - Positions[i - 1]; }

// Only gaps 3..N-1 are candidates; the lowest index wins a tie. The
// narrowest width is found over all candidates first, a loop the compiler
// can run several gaps at a time, and then the first gap of that width.
std::int32_t NarrowestInnerGap(std::int32_t n) {
  std::int32_t narrowest = Gap(3);
  for (std::int32_t i = 4; i <= n - 1; ++i) {
    narrowest = Gap(i) < narrowest ? Gap(i) : narrowest;
  }
  std::int32_t k = 3;
  while (Gap(k) != narrowest) {
    ++k;
  }
  return k;
}

}  // namespace

void RunSolver() {
  using failstop::CheckIoStatus;
  using failstop::FailureStop;
  using namespace textio;

  BindStream(StandardInput, "korvanda.in");
  OpenForReading(StandardInput);
  CheckIoStatus();

  BindStream(StandardOutput, "korvanda.out");
  OpenForWriting(StandardOutput);
  CheckIoStatus();

  PointCount = ReadInteger(StandardInput);
  CheckIoStatus();
  if (PointCount < 1 || PointCount > MaxPointCount) {
    FailureStop(InvalidInputCode);
  }

  const std::int32_t n = PointCount;
  Positions[1] = 0;
  for (std::int32_t i = 2; i <= n; ++i) {
    const std::int32_t position = ReadInteger(StandardInput);
    Positions[i] = position;
    CheckIoStatus();
    if (position <= Positions[i - 1]) {
      FailureStop(InvalidInputCode);
    }
  }
  // Only after every position has been read: a bad token later in the file
  // takes precedence over an out-of-range one. The positions rise
  // strictly, so the last is the highest and speaks for them all.
  if (Positions[n] > MaxPosition) {
    FailureStop(InvalidInputCode);
  }

  if (n <= 3) {
    WriteInteger(StandardOutput, 0);
    WriteLineEnd(StandardOutput);
    CheckIoStatus();
  } else {
    SplitIndex = NarrowestInnerGap(n);
    const std::int32_t k = SplitIndex;
    WriteInteger(StandardOutput,
                 Positions[n] - Positions[1] + Positions[k] - Positions[k - 1]);
    WriteLineEnd(StandardOutput);
    CheckIoStatus();
    WriteInteger(StandardOutput, n);
    WriteChar(StandardOutput, ' ');
    WriteInteger(StandardOutput, k - 1);
    WriteLineEnd(StandardOutput);
    CheckIoStatus();
    WriteInteger(StandardOutput, k);
    WriteChar(StandardOutput, ' ');
    WriteInteger(StandardOutput, 1);
    WriteLineEnd(StandardOutput);
    CheckIoStatus();
  }

  CloseStream(StandardInput);
  CheckIoStatus();
  CloseStream(StandardOutput);
  CheckIoStatus();
  failstop::EndProgram();
}

}  // namespace solver
