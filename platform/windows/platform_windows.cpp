#include <windows.h>

#include "platform/platform.h"

// The linker's symbol for the first byte of this program's image.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace platform {
namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

FileHandle Open(const char* name, DWORD access, DWORD disposition) {
  HANDLE h = CreateFileA(name, access, FILE_SHARE_READ, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? InvalidFileHandle
                                   : reinterpret_cast<FileHandle>(h);
}

bool WriteAllTo(HANDLE h, const std::uint8_t* from, std::uint32_t count) {
  while (count > 0) {
    DWORD done = 0;
    if (!::WriteFile(h, from, count, &done, nullptr)) {
      return false;
    }
    if (done == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    from += done;
    count -= done;
  }
  return true;
}

}  // namespace

FileHandle OpenExistingForReading(const char* name) {
  return Open(name, GENERIC_READ, OPEN_EXISTING);
}

// Every file is held with read-only sharing, so the system itself refuses
// a second writer, and the input under another name (32).
FileHandle CreateForWriting(const char* name) {
  return Open(name, GENERIC_WRITE, CREATE_ALWAYS);
}

bool ReadSome(FileHandle file, std::uint8_t* into, std::uint32_t capacity,
              std::uint32_t& got) {
  DWORD done = 0;
  if (!::ReadFile(AsHandle(file), into, capacity, &done, nullptr)) {
    return false;
  }
  got = done;
  return true;
}

bool WriteAll(FileHandle file, const std::uint8_t* from, std::uint32_t count) {
  return WriteAllTo(AsHandle(file), from, count);
}

bool CloseFile(FileHandle file) { return CloseHandle(AsHandle(file)) != 0; }

std::uint32_t LastError() {
  DWORD code = GetLastError();
  return code != 0 ? code : ERROR_GEN_FAILURE;
}

void WriteStandardOutput(const std::uint8_t* from, std::uint32_t count) {
  // Asked anew for every write; a process started without one has none.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) {
    return;
  }
  WriteAllTo(out, from, count);
}

void PrepareProcess() {
  // Nobody watches an unattended run: a failure must come back as a code,
  // never as a dialog box waiting for a click.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX |
               SEM_NOGPFAULTERRORBOX);
}

void EndProcess(std::int32_t status) { ExitProcess(static_cast<UINT>(status)); }

const void* ImageStart() { return &__ImageBase; }

}  // namespace platform
