// Inputs generated for every count of points up to a bound, and for the
// largest count, with the answer or the stop the plain model gives them
// (token_model.h): the end-to-end suite runs them through every build of
// the program.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace testutil {

struct ProgramCase {
  std::string name;  // what it is, as a test's name: N5_k3_narrowest
  // Made when the case runs, not when it is listed: the largest inputs
  // take a while to make and to judge.
  std::function<std::string()> input;
  std::string place;  // where the input means to stop the program, if it does
};

// What the plain model makes of a case.
struct Judgement {
  std::string input;
  int status;         // 0, or the failure code
  std::string out;    // the whole of korvanda.out after a complete run
  std::string place;  // for a stop, the place that must report it
};

Judgement Judge(const ProgramCase& c);

// For every N from 1 to `max_points`, and for 50000: the narrowest inner
// gap, and a tie for it, at each candidate index; every kind of invalid
// position at each place it can stand (equal to the one before, below it,
// above 1000000000, not an integer, missing); and a count out of range,
// not an integer or missing.
std::vector<ProgramCase> GeneratedCases(int max_points);

// A failing case prints its name, not its input.
inline void PrintTo(const ProgramCase& c, std::ostream* os) { *os << c.name; }

}  // namespace testutil
