// Every token the real reader takes from arbitrary bytes, and its status,
// against the plain model of the token rules.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "harness.h"
#include "token_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  harness::ResetProcess();
  fake::PutFile("in", std::string(reinterpret_cast<const char*>(data), size));
  if (size > 0) {
    // Reads of any size the data suggests, as a pipe would give them.
    fake::LimitReadsTo(data[0] % 130);
  }
  textio::TextStream& s = textio::InputFile;
  textio::BindStream(s, "in");
  textio::OpenForReading(s);
  for (const std::string& token : model::Tokens(data, size)) {
    textio::PendingIoStatus = 0;
    std::int32_t value = textio::ReadInteger(s);
    std::optional<std::int32_t> expected = model::Value(token);
    if (textio::PendingIoStatus != (expected ? 0u : 106u)) std::abort();
    if (expected && value != *expected) std::abort();
  }
  textio::PendingIoStatus = 0;
  if (textio::ReadInteger(s) != 0 || textio::PendingIoStatus != 0 || !s.AtEnd) {
    std::abort();
  }
  return 0;
}
