#include "failstop/fail_stop.h"

#include "platform/platform.h"
#include "textio/text_stream.h"

namespace failstop {

constinit std::int32_t ProcessExitStatus = 0;
constinit std::uint32_t FailureSite = 0;
constinit std::uint8_t Report[ReportLength + 1] =
    "Runtime error     at 00000000\0\r\n";
// The number of the place that stopped. Every stop ends in the system's
// own end, never in a core dump; a debugger stopped on the way out shows
// it. Its work is in stop_site.h: volatile, so that every place's code
// keeps a number of its own.
constinit volatile std::uint32_t StoppedPlaceNumber = 0;

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

// Zero-based offsets of the last digit of each field.
constexpr int CodeFieldLast = 16;
constexpr int SiteFieldLast = 28;

// Digits over the template's spaces and zeros: a process reports once.
void FillReport() {
  auto v = static_cast<std::uint32_t>(ProcessExitStatus);
  int p = CodeFieldLast;
  do {
    Report[p--] = static_cast<std::uint8_t>('0' + v % 10);
    v /= 10;
  } while (v != 0);

  std::uint32_t u = FailureSite;
  p = SiteFieldLast;
  do {
    Report[p--] = static_cast<std::uint8_t>(HexDigits[u % 16]);
    u >>= 4;
  } while (u != 0);
}

// A run writes only into what it holds. Standard output takes the report
// where it keeps nothing (a terminal, a pipe), where it is the output this
// run held (korvanda >korvanda.out, even once its close has failed), or
// where it is no file a run, this one or another, has taken as its input
// or output, and none another program holds a lock on. The input and the
// output are known by what the run opened, even where it was then
// refused, and the input also by what its name leads to now. A look that
// fails keeps the report out; only a name that leads nowhere has nothing
// to protect. Where no locks are offered, the comparisons alone decide.
// The look comes before the write: a run that ends between the two can
// still receive the report.
bool MayReport() {
  using platform::Found;
  using platform::Opened;
  using platform::SameFile;
  using platform::Taken;
  platform::FileIdentity out;
  platform::FileIdentity file;
  const Found kind = platform::LookAtStandardOutput(out);
  if (kind != Found::Keeping) {
    return kind == Found::Passing;
  }
  const Taken input = platform::TakenAs(Opened::Input, file);
  if (input == Taken::Unknown ||
      (input != Taken::Nothing && SameFile(out, file))) {
    return false;
  }
  const Found named = platform::LookAtName(textio::InputFile.Name, file);
  if (named == Found::Unknown ||
      (named != Found::Nowhere && SameFile(out, file))) {
    return false;
  }
  // Another run's output takes none, even once that run has ended.
  const Taken output = platform::TakenAs(Opened::Output, file);
  if (output == Taken::Unknown) {
    return false;
  }
  if (output != Taken::Nothing && SameFile(out, file)) {
    return output == Taken::Held;
  }
  const platform::Hold hold = platform::StandardOutputHold();
  return hold == platform::Hold::Free || hold == platform::Hold::NoLocks;
}

// The report's value for a place (see stop_site.h).
std::uint32_t SiteValue(StopSite place) {
  constexpr std::uintptr_t FixedImageBase = 0x00400000;
  auto offset = reinterpret_cast<std::uintptr_t>(place) -
                reinterpret_cast<std::uintptr_t>(platform::ImageStart());
  return static_cast<std::uint32_t>(offset + FixedImageBase);
}

}  // namespace

void StopAt(std::int32_t code, StopSite place, std::uint32_t number) {
  StoppedPlaceNumber = number;
  FailureSite = SiteValue(place);
  ProcessExitStatus = code;
  EndProgram();
}

void EndProgram() {
  if (FailureSite != 0) {
    FillReport();
    textio::SaveOutputBeforeStop();
    if (MayReport()) {
      platform::WriteStandardOutput(Report, ReportLength);
    }
    FailureSite = 0;
  }
  textio::CloseDataFiles();
  // Already a status: 239, or a stream status mapped once as it came in.
  platform::ExitWith(static_cast<std::uint8_t>(ProcessExitStatus));
}

}  // namespace failstop
