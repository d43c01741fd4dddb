// Every token the real reader takes from arbitrary bytes, and its status,
// against the plain model of the token rules.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  std::vector<harness::Token> expected = harness::ModelTokens(file);
  expected.emplace_back(0);
  bool ended = false;
  // Reads of any size the data suggests, as a pipe would give them.
  const std::vector<harness::Token> read = harness::ReadTokens(
      file, expected.size() - 1, size > 0 ? data[0] % 130 : 0, ended);
  if (read != expected || !ended) std::abort();
  return 0;
}
