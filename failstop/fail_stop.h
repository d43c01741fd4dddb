// The one way the process ends. A stop records a failure code and the
// place that stopped; the end path writes out what the output file still
// waits for, reports on standard output, closes both files and exits.
#pragma once

#include <cstdint>

#include "platform/call_site.h"

namespace failstop {

// The exit status; set only by a stop.
extern std::int32_t ProcessExitStatus;
// Identifies the call that stopped; 0 while no stop is under way.
extern std::uint32_t FailureSite;

// A stream status whose low 8 bits are zero would otherwise end the run
// with status 0 and pass for success.
inline constexpr std::int32_t MaskedFailureCode = 255;

// Returns, having touched nothing, while no stream operation has failed.
KORVANDA_CALL_SITE void CheckIoStatus();

[[noreturn]] KORVANDA_CALL_SITE void FailureStop(std::int32_t code);

[[noreturn]] void EndProgram();

}  // namespace failstop
