// Linked into the program in the coverage build only. The program ends
// through _exit, which skips the writing out of what was counted: this
// stands in for it (-Wl,--wrap=_exit), writes the counts, then ends.
extern "C" {
void __gcov_dump();
[[noreturn]] void __real__exit(int status);

[[noreturn]] void __wrap__exit(int status) {
  __gcov_dump();
  __real__exit(status);
}
}
