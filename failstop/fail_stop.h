// The one way the process ends. A stop records a failure code and the
// place that stopped; the end path writes out what the output file still
// waits for, reports on standard output, closes both files and exits.
#pragma once

#include <cstdint>

#include "failstop/stop_site.h"
#include "platform/platform.h"
#include "textio/text_stream.h"

namespace failstop {

// The exit status; set only by a stop.
extern std::int32_t ProcessExitStatus;
// Identifies the place that stopped; 0 while no stop is under way.
extern std::uint32_t FailureSite;
// The report line, filled in in place: 29 characters, a zero byte, CR and
// LF, written with one call, so that runs appending to one log at once
// never split each other's line.
// (The array keeps the zero that ends its initialising text after them;
// that byte is never written.)
inline constexpr int ReportLength = 32;
extern std::uint8_t Report[ReportLength + 1];

// The failure code of a stream status: the exit status it ends the run
// with, so that the report says the same. The one place a stream status
// is mapped.
inline std::int32_t IoFailureCode() {
  return platform::ExitStatusOf(textio::PendingIoStatus);
}

// Returns, having touched nothing, while no stream operation has failed.
inline void CheckIoStatus(StopSite site) {
  if (textio::PendingIoStatus != 0) [[unlikely]] {
    site(IoFailureCode());
    __builtin_unreachable();
  }
}

[[noreturn]] inline void FailureStop(std::int32_t code, StopSite site) {
  site(code);
  __builtin_unreachable();
}

[[noreturn]] void EndProgram();

}  // namespace failstop
