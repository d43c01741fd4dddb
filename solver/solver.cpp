#include "solver/solver.h"

#include "failstop/fail_stop.h"
#include "platform/platform.h"
#include "textio/text_stream.h"

namespace solver {

namespace {

// Indexed 1..MaxPointCount; entry 0 is never used.
constinit std::int32_t Positions[MaxPointCount + 1] = {};
constinit std::int32_t PointCount = 0;
constinit std::int32_t SplitIndex = 0;

std::int32_t Gap(std::int32_t i) { return Positions[i] - Positions[i - 1]; }

// Only gaps 3..N-1 are candidates; the lowest index wins a tie. The
// candidates are taken a block at a time: the narrowest width of each
// block in a loop the compiler runs several gaps at a time, and only the
// first block holding the narrowest of all is searched for its index.
std::int32_t NarrowestInnerGap(std::int32_t n) {
  constexpr std::int32_t BlockLength = 64;
  const std::int32_t last = n - 1;
  std::int32_t narrowest = Gap(3);
  std::int32_t first_block = 3;
  for (std::int32_t block = 3; block <= last; block += BlockLength) {
    const std::int32_t end =
        last - block < BlockLength ? last + 1 : block + BlockLength;
    std::int32_t block_narrowest = Gap(block);
    for (std::int32_t i = block + 1; i < end; ++i) {
      block_narrowest = Gap(i) < block_narrowest ? Gap(i) : block_narrowest;
    }
    if (block_narrowest < narrowest) {
      narrowest = block_narrowest;
      first_block = block;
    }
  }
  std::int32_t k = first_block;
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
  // Filling 200 KB a page fault at a time costs more than the reading.
  platform::PrepareToWrite(&Positions[1],
                           static_cast<std::size_t>(n) * sizeof Positions[1]);
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
