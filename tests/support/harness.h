// Runs the program's pieces in this process over the fake platform, with
// all of the program's static state put back to its start-up values.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "failstop/fail_stop.h"
#include "fake_platform.h"
#include "report_line.h"
#include "textio/text_stream.h"

namespace harness {

inline void ResetProcess() {
  // The report line's template as the program starts with it: a stop
  // fills it in place, once in a process, many times in a test's.
  static const auto pristine = std::to_array(failstop::Report);
  std::copy(pristine.begin(), pristine.end(), failstop::Report);
  fake::Reset();
  textio::PendingIoStatus = 0;
  textio::InputFile = {};
  textio::OutputFile = {};
  failstop::ProcessExitStatus = 0;
  failstop::FailureSite = 0;
}

struct Outcome {
  bool ended;
  std::int32_t status;
  std::string standard_output;
  bool out_exists;
  std::string out;
};

// The program's body, in this process over the in-memory platform, with a
// "korvanda.in" holding `input`. (The built program runs as a process of
// its own in tests/e2e: e2e::RunBuiltProgram.)
Outcome RunBodyInThisProcess(const std::string& input);

// Whatever the test set up beforehand (files, planned failures) stays.
Outcome RunBodyInThisProcessAsSetUp();

using testutil::ParseReport;
using testutil::Report;

}  // namespace harness
