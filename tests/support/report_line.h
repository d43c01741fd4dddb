// Reads back the 32-byte report line a failure stop writes.
#pragma once

#include <cstdint>
#include <string>

namespace testutil {

struct Report {
  bool well_formed = false;
  int code = -1;
  std::uint32_t site = 0;
};

// well_formed is false for anything but "Runtime error", the code
// right-aligned in four columns, " at ", 8 upper-case hexadecimal digits,
// a zero byte, CR and LF.
Report ParseReport(const std::string& bytes);

}  // namespace testutil
