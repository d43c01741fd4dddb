// The whole run over the in-memory platform with every platform call it
// makes failing in turn, at every occurrence, with a few codes.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"
#include "rows.h"

namespace {

using fake::Call;

using rows::Earlier;

// Long enough that reading it takes several blocks.
std::string ManyPoints() {
  std::string s = "60";
  for (int i = 1; i < 60; ++i) s += " " + std::to_string(i * 1000);
  return s;
}

struct Setting {
  const char* name;
  std::optional<std::string> input;
};

void PrintTo(const Setting& s, std::ostream* os) { *os << s.name; }

// A fresh process in a folder holding the setting's files.
void Prepare(const Setting& setting) {
  harness::ResetProcess();
  fake::PutFile("korvanda.out", Earlier);
  if (setting.input) fake::PutFile("korvanda.in", *setting.input);
}

// A failed call's code and the status the run stops with: its low 8 bits,
// and 255 where those are all zero, which would pass for success.
constexpr std::pair<std::uint32_t, int> Codes[] = {
    {5, 5}, {28, 28}, {300, 44}, {512, 255}};

// Before its end path, a run stops with the failing call's code; on that
// path (the report, the closes of a stop) nothing changes its status.
// Either way the report is well formed unless its own write failed, the
// input is never changed, the output is as it was, empty, or a prefix of
// the answer, and no file is left open or handle misused.
class EveryCallFailing : public testing::TestWithParam<Setting> {};

TEST_P(EveryCallFailing, StopsWithItsCodeOrChangesNothingOnTheWayOut) {
  const Setting& setting = GetParam();
  Prepare(setting);
  const harness::Outcome clean = harness::RunBody();
  const std::vector<fake::CallRecord> calls = fake::Calls();
  // The end path of a stopping run begins with its report.
  std::size_t end_path = 0;
  while (end_path < calls.size() &&
         calls[end_path].call != Call::StandardOutput) {
    ++end_path;
  }
  for (std::size_t j = 0; j < calls.size(); ++j) {
    int nth = 0;
    for (std::size_t i = 0; i <= j; ++i) {
      nth += calls[i].call == calls[j].call && calls[i].file == calls[j].file;
    }
    for (const auto& [code, stop_status] : Codes) {
      Prepare(setting);
      fake::FailCall(calls[j].call, code, calls[j].file, nth);
      const harness::Outcome o = harness::RunBody();
      const std::string at =
          "call " + std::to_string(j) + " failing with " + std::to_string(code);
      ASSERT_TRUE(o.ended) << at;
      const int status = j < end_path ? stop_status : clean.status;
      EXPECT_EQ(o.status, status) << at;
      if (calls[j].call != Call::StandardOutput) {
        const harness::Report report = harness::ParseReport(o.standard_output);
        EXPECT_TRUE(report.well_formed) << at;
        EXPECT_EQ(report.code, status) << at;
      }
      EXPECT_EQ(fake::FileContents("korvanda.in"), setting.input.value_or(""))
          << at;
      EXPECT_TRUE(o.out == Earlier || clean.out.rfind(o.out, 0) == 0)
          << at << ": " << o.out;
      // Nothing is under way once the report is out.
      EXPECT_EQ(failstop::FailureSite, 0u) << at;
      EXPECT_FALSE(fake::FileIsOpen("korvanda.in")) << at;
      EXPECT_FALSE(fake::FileIsOpen("korvanda.out")) << at;
      EXPECT_EQ(fake::Misuses(), 0) << at;
    }
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Runs, EveryCallFailing, testing::Values(
  Setting{"AnAnswer", rows::Input}, Setting{"TheAnswer0", "1"}, Setting{"InvalidInput", "3 1 1"},
  Setting{"ManyBlocks", ManyPoints()}, Setting{"NoInput", std::nullopt}),
  rows::ByName());
// clang-format on

}  // namespace
