#include "platform/platform.h"
#include "solver/solver.h"

int main() {
  platform::PrepareProcess();
  solver::RunSolver();
}
