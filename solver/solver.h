// The program's body: read N points, validate them, find the narrowest gap
// over the fixed window and write the answer.
#pragma once

#include <cstdint>

namespace solver {

inline constexpr std::int32_t MaxPointCount = 50000;
inline constexpr std::int32_t MaxPosition = 1000000000;
inline constexpr std::int32_t InvalidInputCode = 239;

// Runs once per process and ends it.
[[noreturn]] void RunSolver();

}  // namespace solver
