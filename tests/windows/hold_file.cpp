// Holds a file open without sharing it, so that another process's attempt
// to open it is refused, until its standard input ends.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    return 2;
  }
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return 1;
  }
  std::fputs("held\n", stdout);
  std::fflush(stdout);
  char ignored[64];
  while (std::fread(ignored, 1, sizeof ignored, stdin) > 0) {
  }
  CloseHandle(file);
  return 0;
}
