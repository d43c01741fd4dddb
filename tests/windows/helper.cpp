// What other programs do to korvanda.exe where it runs unattended:
//   helper hold FILE      holds FILE open without sharing it, so that
//                         another process's attempt to open it is refused,
//                         until its standard input ends; says "held" first
//   helper no-stdout PROGRAM
//                         starts PROGRAM with no standard output handle at
//                         all, as a service or a scheduler may, and prints
//                         its exit code
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "hold") == 0) {
    HANDLE file = CreateFileA(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    char ignored[64];
    while (std::fread(ignored, 1, sizeof ignored, stdin) > 0) {
    }
    return CloseHandle(file) ? 0 : 1;
  }
  if (argc == 3 && std::strcmp(argv[1], "no-stdout") == 0) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // and every handle null
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(argv[2], nullptr, nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
      return 3;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("%lu\n", code);
    return 0;
  }
  return 2;
}
