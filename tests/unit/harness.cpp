#include "harness.h"

#include "solver/solver.h"

namespace harness {

Outcome RunProgramAsSetUp() {
  fake::ProcessEnd end = fake::RunProcess(solver::RunSolver);
  return {end.ended, end.status, fake::StandardOutputBytes(),
          fake::FileExists("korvanda.out"), fake::FileContents("korvanda.out")};
}

Outcome RunProgram(const std::string& input) {
  fake::PutFile("korvanda.in", input);
  return RunProgramAsSetUp();
}

Report ParseReport(const std::string& bytes) {
  Report bad{false, -1, 0};
  const std::string head = "Runtime error";
  if (bytes.size() != 32 || bytes.compare(0, head.size(), head) != 0 ||
      bytes.compare(17, 4, " at ") != 0 ||
      bytes.compare(29, 3, std::string("\0\r\n", 3)) != 0) {
    return bad;
  }
  // The code sits right-aligned in columns 14-17 after at least one space.
  std::string field = bytes.substr(13, 4);
  std::size_t first = field.find_first_not_of(' ');
  if (first == 0 || first == std::string::npos) {
    return bad;
  }
  int code = 0;
  for (std::size_t i = first; i < field.size(); ++i) {
    if (field[i] < '0' || field[i] > '9') {
      return bad;
    }
    code = code * 10 + (field[i] - '0');
  }
  std::uint32_t site = 0;
  for (std::size_t i = 21; i < 29; ++i) {
    char c = bytes[i];
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) {
      return bad;
    }
    site = site << 4 | static_cast<std::uint32_t>(digit);
  }
  return {true, code, site};
}

}  // namespace harness
