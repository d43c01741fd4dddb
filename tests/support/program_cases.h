// Inputs with the answer or the stop they must give, shared by the suite
// that runs the body over the in-memory platform and the one that runs
// the built programs.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace testutil {

struct AnswerCase {
  const char* name;
  std::string input;
  std::string out;  // the whole of korvanda.out
};

struct StopCase {
  const char* name;
  std::string input;
  int code;  // exit status and the code in the report line
};

const std::vector<AnswerCase>& AnswerCases();
const std::vector<StopCase>& InvalidInputCases();

inline void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }
inline void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

// Names parameterised tests after their cases.
struct CaseName {
  template <typename Info>
  std::string operator()(const Info& info) const {
    return info.param.name;
  }
};

}  // namespace testutil
