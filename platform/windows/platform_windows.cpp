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
// there, as the system tells a file apart whatever its name; and its name.
constinit FILE_ID_INFO Input = {};
constinit bool InputKnown = false;
constinit const char* InputName = "";  // none yet: a name of nothing

bool Identify(HANDLE h, FILE_ID_INFO& id) {
  return GetFileInformationByHandleEx(h, FileIdInfo, &id, sizeof id) != 0;
}

// The system may leave the volume of a handle made outside it unnamed (0,
// as Wine does for a handle it inherits): the identifier alone tells the
// file then, and under Wine a file with the same identifier on another
// volume (two tmpfs mounts, say) loses its report.
bool OneFile(const FILE_ID_INFO& a, const FILE_ID_INFO& b) {
  return (a.VolumeSerialNumber == 0 ||
          a.VolumeSerialNumber == b.VolumeSerialNumber) &&
         std::memcmp(&a.FileId, &b.FileId, sizeof a.FileId) == 0;
}

// A file can be standard output and the input at once, whether or not
// this run could open it (another program may hold it unshared); a report
// there would destroy the input. So standard output is compared with what
// the run opened and with what the input's name leads to now, looked at
// with sharing that no other program's open refuses. A look that fails
// keeps the report out: only a name that leads nowhere has nothing to
// protect.
bool MayReport(HANDLE out) {
  FILE_ID_INFO file;
  if (GetFileType(out) != FILE_TYPE_DISK) {
    return true;
  }
  if (!Identify(out, file) || (InputKnown && OneFile(file, Input))) {
    return false;
  }
  HANDLE named =
      CreateFileA(InputName, FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (named == INVALID_HANDLE_VALUE) {
    const DWORD why = GetLastError();
    return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND;
  }
  FILE_ID_INFO id;
  const bool another = Identify(named, id) && !OneFile(file, id);
  CloseHandle(named);
  return another;
}

}  // namespace

FileHandle OpenExistingForReading(const char* name) {
  InputName = name;
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
  // Asked anew for every write; a process started without one has none.
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE || !MayReport(out)) {
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
