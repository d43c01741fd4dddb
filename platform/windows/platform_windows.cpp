#include <windows.h>

#include <cstring>

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

// Which file the input is, once it is open: its volume and its identifier
// there, as the system tells a file apart whatever its name.
constinit FILE_ID_INFO Input = {};
constinit bool InputKnown = false;

bool Identify(HANDLE h, FILE_ID_INFO& id) {
  return GetFileInformationByHandleEx(h, FileIdInfo, &id, sizeof id) != 0;
}

bool IsTheInput(HANDLE h) {
  FILE_ID_INFO file;
  // The system may leave the volume of a handle made outside it unnamed
  // (0, as Wine does for a descriptor it inherits); the identifier alone
  // tells the file then.
  return InputKnown && GetFileType(h) == FILE_TYPE_DISK && Identify(h, file) &&
         (file.VolumeSerialNumber == 0 ||
          file.VolumeSerialNumber == Input.VolumeSerialNumber) &&
         std::memcmp(&file.FileId, &Input.FileId, sizeof file.FileId) == 0;
}

}  // namespace

FileHandle OpenExistingForReading(const char* name) {
  const FileHandle file = Open(name, GENERIC_READ, OPEN_EXISTING);
  if (file != InvalidFileHandle) {
    InputKnown = Identify(AsHandle(file), Input);
  }
  return file;
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
  // Asked anew for every write; a process started without one has none. A
  // file can be standard output and the input at once; a report there
  // would destroy the input.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE || IsTheInput(out)) {
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

void ExitWith(std::uint8_t status) { ExitProcess(status); }

const void* ImageStart() { return &__ImageBase; }

}  // namespace platform
