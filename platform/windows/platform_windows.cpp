#include <windows.h>

#include <cstring>

#include "platform/platform.h"

// The linker's symbol for the first byte of this program's image.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace platform {
namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// Which files the input and the output are, once open: a volume and an
// identifier there, as the system tells a file apart whatever its name. A
// file the system refused to open has none; one it opened is held, its
// sharing keeping every other writer out.
bool Identify(HANDLE h, FileIdentity& identity);
constinit FileIdentity Seen[2] = {};
constinit Taken What[2] = {};

FileHandle Open(const char* name, DWORD access, DWORD disposition,
                Opened opened) {
  HANDLE h = CreateFileA(name, access, FILE_SHARE_READ, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    return InvalidFileHandle;
  }
  const auto at = static_cast<int>(opened);
  What[at] = Identify(h, Seen[at]) ? Taken::Held : Taken::Unknown;
  return reinterpret_cast<FileHandle>(h);
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

bool Identify(HANDLE h, FileIdentity& identity) {
  FILE_ID_INFO id;
  if (GetFileInformationByHandleEx(h, FileIdInfo, &id, sizeof id) == 0) {
    return false;
  }
  static_assert(sizeof id.FileId == sizeof identity.number);
  identity.volume = id.VolumeSerialNumber;
  std::memcpy(identity.number, &id.FileId, sizeof identity.number);
  return true;
}

// Only a file on a disk keeps what is written over it.
Found Kind(HANDLE h, FileIdentity& identity) {
  if (GetFileType(h) != FILE_TYPE_DISK) {
    return Found::Passing;
  }
  return Identify(h, identity) ? Found::Keeping : Found::Unknown;
}

}  // namespace

FileHandle OpenExistingForReading(const char* name) {
  return Open(name, GENERIC_READ, OPEN_EXISTING, Opened::Input);
}

// Every file is held with read-only sharing, so the system itself refuses
// a second writer, and the input under another name (32).
FileHandle CreateForWriting(const char* name) {
  return Open(name, GENERIC_WRITE, CREATE_ALWAYS, Opened::Output);
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

// Asked anew for every use; a process started without one has none.
HANDLE StandardOutputHandle() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  return out == nullptr ? INVALID_HANDLE_VALUE : out;
}

void WriteStandardOutput(const std::uint8_t* from, std::uint32_t count) {
  HANDLE out = StandardOutputHandle();
  if (out != INVALID_HANDLE_VALUE) {
    WriteAllTo(out, from, count);
  }
}

Found LookAtStandardOutput(FileIdentity& identity) {
  HANDLE out = StandardOutputHandle();
  return out == INVALID_HANDLE_VALUE ? Found::Unknown : Kind(out, identity);
}

// With sharing that no other program's open refuses, and attributes only.
Found LookAtName(const char* name, FileIdentity& identity) {
  HANDLE named =
      CreateFileA(name, FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (named == INVALID_HANDLE_VALUE) {
    const DWORD why = GetLastError();
    return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND
               ? Found::Nowhere
               : Found::Unknown;
  }
  const Found found =
      Identify(named, identity) ? Found::Keeping : Found::Unknown;
  CloseHandle(named);
  return found;
}

// The system may leave the volume of a handle made outside it unnamed (0,
// as Wine does for a handle it inherits): the identifier alone tells the
// file then, and under Wine a file with the same identifier on another
// volume (two tmpfs mounts, say) loses its report.
bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return (a.volume == 0 || b.volume == 0 || a.volume == b.volume) &&
         std::memcmp(a.number, b.number, sizeof a.number) == 0;
}

Taken TakenAs(Opened file, FileIdentity& identity) {
  identity = Seen[static_cast<int>(file)];
  return What[static_cast<int>(file)];
}

// The system itself refuses a write into a file another holds: sharing
// keeps every other writer out, and a write into a range another handle
// has locked fails. There is nothing to ask.
Hold StandardOutputHold() { return Hold::NoLocks; }

void PrepareProcess() {
  // Nobody watches an unattended run: a failure must come back as a code,
  // never as a dialog box waiting for a click.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX |
               SEM_NOGPFAULTERRORBOX);
}

void ExitWith(std::uint8_t status) { ExitProcess(status); }

const void* ImageStart() { return &__ImageBase; }

}  // namespace platform
