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

// Only gaps 3..N-1 are candidates; the lowest index wins a tie.
std::int32_t NarrowestInnerGap(std::int32_t n) {
  std::int32_t k = 3;
  for (std::int32_t i = 4; i <= n - 1; ++i) {
    if (Gap(i) < Gap(k)) {
      k = i;
    }
  }
  return k;
}

}  // namespace

void RunSolver() {
  using failstop::CheckIoStatus;
  using failstop::FailureStop;
  using namespace textio;

  BindStream(InputFile, "korvanda.in");
  OpenForReading(InputFile);
  CheckIoStatus(KORVANDA_STOP_SITE(open_input));

  BindStream(OutputFile, "korvanda.out");
  OpenForWriting(OutputFile);
  CheckIoStatus(KORVANDA_STOP_SITE(open_output));

  PointCount = ReadInteger(InputFile);
  CheckIoStatus(KORVANDA_STOP_SITE(read_count));
  if (PointCount < 1 || PointCount > MaxPointCount) {
    FailureStop(InvalidInputCode, KORVANDA_STOP_SITE(count_range));
  }

  const std::int32_t n = PointCount;
  Positions[1] = 0;
  for (std::int32_t i = 2; i <= n; ++i) {
    const std::int32_t position = ReadInteger(InputFile);
    Positions[i] = position;
    CheckIoStatus(KORVANDA_STOP_SITE(read_position));
    if (position <= Positions[i - 1]) {
      FailureStop(InvalidInputCode, KORVANDA_STOP_SITE(position_order));
    }
  }
  // Only after every position has been read: a bad token later in the file
  // takes precedence over an out-of-range one. The positions rise
  // strictly, so the last is the highest and speaks for them all.
  if (Positions[n] > MaxPosition) {
    FailureStop(InvalidInputCode, KORVANDA_STOP_SITE(position_range));
  }

  if (n <= 3) {
    WriteInteger(OutputFile, 0);
    WriteLineEnd(OutputFile);
    CheckIoStatus(KORVANDA_STOP_SITE(write_zero));
  } else {
    SplitIndex = NarrowestInnerGap(n);
    const std::int32_t k = SplitIndex;
    WriteInteger(OutputFile,
                 Positions[n] - Positions[1] + Positions[k] - Positions[k - 1]);
    WriteLineEnd(OutputFile);
    CheckIoStatus(KORVANDA_STOP_SITE(write_total));
    WriteInteger(OutputFile, n);
    WriteChar(OutputFile, ' ');
    WriteInteger(OutputFile, k - 1);
    WriteLineEnd(OutputFile);
    CheckIoStatus(KORVANDA_STOP_SITE(write_left_pair));
    WriteInteger(OutputFile, k);
    WriteChar(OutputFile, ' ');
    WriteInteger(OutputFile, 1);
    WriteLineEnd(OutputFile);
    CheckIoStatus(KORVANDA_STOP_SITE(write_right_pair));
  }

  CloseStream(InputFile);
  CheckIoStatus(KORVANDA_STOP_SITE(close_input));
  CloseStream(OutputFile);
  CheckIoStatus(KORVANDA_STOP_SITE(close_output));
  failstop::EndProgram();
}

}  // namespace solver
