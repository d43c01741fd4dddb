#include "harness.h"

#include "solver/solver.h"

namespace harness {

Outcome RunBodyInThisProcessAsSetUp() {
  fake::ProcessEnd end = fake::RunProcess(solver::RunSolver);
  return {end.ended, end.status, fake::StandardOutputBytes(),
          fake::FileExists("korvanda.out"), fake::FileContents("korvanda.out")};
}

Outcome RunBodyInThisProcess(const std::string& input) {
  fake::PutFile("korvanda.in", input);
  return RunBodyInThisProcessAsSetUp();
}

}  // namespace harness
