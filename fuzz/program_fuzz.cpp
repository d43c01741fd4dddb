// The whole body over arbitrary "korvanda.in" contents: the answer or the
// stop the plain model predicts, a well-formed report, no file left open.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "harness.h"
#include "token_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  harness::ResetProcess();
  fake::PutFile("korvanda.in",
                std::string(reinterpret_cast<const char*>(data), size));
  harness::Outcome o = harness::RunBody();
  int code = -1;
  std::optional<std::string> answer =
      model::Answer(model::Tokens(data, size), code);
  if (!o.ended || o.status != code || !o.out_exists) std::abort();
  if (answer) {
    if (!o.standard_output.empty() || o.out != *answer) std::abort();
  } else {
    harness::Report r = harness::ParseReport(o.standard_output);
    if (!r.well_formed || r.code != code || r.site == 0 || !o.out.empty()) {
      std::abort();
    }
  }
  if (fake::FileIsOpen("korvanda.in") || fake::FileIsOpen("korvanda.out") ||
      fake::Misuses() != 0) {
    std::abort();
  }
  return 0;
}
