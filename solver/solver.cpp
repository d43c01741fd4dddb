#include "solver/solver.h"

#include "failstop/fail_stop.h"
#include "textio/text_stream.h"

namespace solver {

namespace {

constinit std::int32_t PointCount = 0;
constinit std::int32_t SplitIndex = 0;

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

  // The narrowest gap is found as the positions arrive, so none is kept
  // but the last: an array of them cost a run its fresh pages and a second
  // pass (DESIGN.md).
  const std::int32_t n = PointCount;
  std::int32_t last = 0;  // point 1 stands at 0
  std::int32_t gap = 0;   // the one that ends at the last
  // Wider than gap 3, the first candidate: point 2 stands at 1 or more.
  std::int32_t narrowest = INT32_MAX;
  for (std::int32_t i = 2; i <= n; ++i) {
    const std::int32_t position = ReadInteger(InputFile);
    CheckIoStatus(KORVANDA_STOP_SITE(read_position));
    if (position <= last) {
      FailureStop(InvalidInputCode, KORVANDA_STOP_SITE(position_order));
    }
    // Gap i-1 is now known not to be gap N: from gap 3 on, a candidate.
    // Only a narrower one replaces it, so the lowest index wins a tie.
    if (i >= 4 && gap < narrowest) {
      narrowest = gap;
      SplitIndex = i - 1;
    }
    // Only once the order holds: -2147483648 after 5 would overflow.
    gap = position - last;
    last = position;
  }
  // Only after every position has been read: a bad token later in the file
  // takes precedence over an out-of-range one. The positions rise
  // strictly, so the last is the highest and speaks for them all.
  if (last > MaxPosition) {
    FailureStop(InvalidInputCode, KORVANDA_STOP_SITE(position_range));
  }

  if (n <= 3) {
    WriteInteger(OutputFile, 0);
    WriteLineEnd(OutputFile);
    CheckIoStatus(KORVANDA_STOP_SITE(write_zero));
  } else {
    const std::int32_t k = SplitIndex;
    // Point 1 stands at 0, so the span is the last position.
    WriteInteger(OutputFile, last + narrowest);
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
