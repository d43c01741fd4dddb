// ReadInteger alone, over an in-memory file, for each token shape the
// whole-run benchmark feeds the program.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "harness.h"

namespace {

std::string Tokens(const char* shape) {
  std::string text;
  for (int i = 1; i <= 50000; ++i) {
    std::string token = std::to_string(100000000 + i * 17977);
    if (std::string(shape) == "hexadecimal") {
      char hex[16];
      std::snprintf(hex, sizeof hex, "$%X", 100000000 + i * 17977);
      token = hex;
    }
    text +=
        token + (std::string(shape) == "padded" ? std::string(80, ' ') : " ");
  }
  return text;
}

void ReadAll(benchmark::State& state, const char* shape) {
  const std::string data = Tokens(shape);
  for (auto _ : state) {
    harness::ResetProcess();
    fake::PutFile("in", data);
    textio::BindStream(textio::InputFile, "in");
    textio::OpenForReading(textio::InputFile);
    std::int64_t sum = 0;
    for (int i = 0; i < 50000; ++i) {
      sum += textio::ReadInteger(textio::InputFile);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(data.size()));
}

BENCHMARK_CAPTURE(ReadAll, nine_digits, "decimal");
BENCHMARK_CAPTURE(ReadAll, padded, "padded");
BENCHMARK_CAPTURE(ReadAll, hexadecimal, "hexadecimal");

}  // namespace

BENCHMARK_MAIN();
