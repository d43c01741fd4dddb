#include "fake_platform.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <map>

#include "platform/platform.h"

namespace fake {
namespace {

struct OpenFile {
  std::string name;
  std::size_t position = 0;
  bool open = false;
};

struct Failure {
  Call call;
  std::uint32_t code;
  std::string file;
  int nth;
  int seen = 0;
};

constexpr platform::FileHandle FirstHandle = 100;
constexpr std::uint32_t InvalidHandleCode = 6;
constexpr std::uint32_t BusyCode = 16;

// Everything the fake holds, put back at once.
struct State {
  std::map<std::string, std::string> files;  // by name, their contents
  std::vector<OpenFile> handles;
  std::vector<Failure> failures;
  std::vector<CallRecord> calls;
  std::string standard_output;
  std::uint32_t last_error = 0;
  std::uint32_t read_limit = 0;
  int misuses = 0;
};
State state;
std::jmp_buf* process_end = nullptr;
std::int32_t end_status = 0;

// Records the call and tells whether a planned failure hits it.
bool Fails(Call call, const std::string& file) {
  bool failed = false;
  for (Failure& f : state.failures) {
    if (f.call == call && (f.file.empty() || f.file == file) &&
        ++f.seen == f.nth) {
      state.last_error = f.code;
      failed = true;
    }
  }
  state.calls.push_back({call, file});
  return failed;
}

// A handle below the first wraps round to an index past the last.
OpenFile* Lookup(platform::FileHandle handle) {
  const auto index = static_cast<std::size_t>(handle - FirstHandle);
  if (index < state.handles.size() && state.handles[index].open) {
    return &state.handles[index];
  }
  ++state.misuses;
  state.last_error = InvalidHandleCode;
  return nullptr;
}

platform::FileHandle Refused(std::uint32_t code) {
  state.last_error = code;
  return platform::InvalidFileHandle;
}

platform::FileHandle NewHandle(const std::string& name) {
  state.files[name];
  state.handles.push_back({name, 0, true});
  return FirstHandle + static_cast<platform::FileHandle>(state.handles.size()) -
         1;
}

}  // namespace

void Reset() { state = {}; }

void PutFile(const std::string& name, const std::string& contents) {
  state.files[name] = contents;
}

bool FileExists(const std::string& name) { return state.files.contains(name); }

std::string FileContents(const std::string& name) {
  return FileExists(name) ? state.files[name] : "";
}

bool FileIsOpen(const std::string& name) {
  return std::any_of(
      state.handles.begin(), state.handles.end(),
      [&](const OpenFile& h) { return h.open && h.name == name; });
}

void FailCall(Call call, std::uint32_t code, const std::string& file, int nth) {
  state.failures.push_back({call, code, file, nth});
}

void LimitReadsTo(std::uint32_t bytes) { state.read_limit = bytes; }

const std::vector<CallRecord>& Calls() { return state.calls; }

int Misuses() { return state.misuses; }

const std::string& StandardOutputBytes() { return state.standard_output; }

ProcessEnd RunProcess(void (*body)()) {
  std::jmp_buf here;
  process_end = &here;
  if (setjmp(here) != 0) {
    process_end = nullptr;
    return {true, end_status};
  }
  body();
  process_end = nullptr;
  return {false, 0};
}

}  // namespace fake

namespace platform {

using namespace fake;

FileHandle OpenExistingForReading(const char* name) {
  if (Fails(Call::OpenRead, name)) return InvalidFileHandle;
  if (!FileExists(name)) return Refused(2);
  return NewHandle(name);
}

// A writer holds its file alone: one that is open already is refused.
FileHandle CreateForWriting(const char* name) {
  if (Fails(Call::CreateWrite, name)) return InvalidFileHandle;
  if (FileIsOpen(name)) return Refused(BusyCode);
  state.files[name].clear();
  return NewHandle(name);
}

bool ReadSome(FileHandle file, std::uint8_t* into, std::uint32_t capacity,
              std::uint32_t& got) {
  OpenFile* open = Lookup(file);
  if (Fails(Call::Read, open ? open->name : "") || !open) return false;
  const std::string& contents = state.files[open->name];
  std::size_t take = std::min<std::size_t>(
      contents.size() - open->position,
      state.read_limit != 0 ? std::min(capacity, state.read_limit) : capacity);
  contents.copy(reinterpret_cast<char*>(into), take, open->position);
  open->position += take;
  got = static_cast<std::uint32_t>(take);
  return true;
}

bool WriteAll(FileHandle file, const std::uint8_t* from, std::uint32_t count) {
  OpenFile* open = Lookup(file);
  if (Fails(Call::Write, open ? open->name : "") || !open) return false;
  state.files[open->name].append(reinterpret_cast<const char*>(from), count);
  return true;
}

bool CloseFile(FileHandle file) {
  OpenFile* open = Lookup(file);
  // The handle is released even when the close reports a failure.
  if (open != nullptr) open->open = false;
  return !Fails(Call::Close, open ? open->name : "") && open != nullptr;
}

std::uint32_t LastError() { return state.last_error; }

void WriteStandardOutput(const std::uint8_t* from, std::uint32_t count) {
  if (!Fails(Call::StandardOutput, "")) {
    state.standard_output.append(reinterpret_cast<const char*>(from), count);
  }
}

// Standard output is captured, as a pipe takes it: it keeps nothing, and
// nothing of a file is ever asked.
Found LookAtStandardOutput(FileIdentity&) { return Found::Passing; }
Found LookAtName(const char*, FileIdentity&) { return Found::Unknown; }
Taken TakenAs(Opened, FileIdentity&) { return Taken::Nothing; }
bool SameFile(const FileIdentity&, const FileIdentity&) { return false; }
Hold StandardOutputHold() { return Hold::Unknown; }

void PrepareProcess() {}

// Sites are offsets from here; the tests run on Linux.
extern "C" const char __ehdr_start[];
const void* ImageStart() { return __ehdr_start; }

void ExitWith(std::uint8_t status) {
  if (process_end == nullptr) std::abort();
  end_status = status;
  std::longjmp(*process_end, 1);
}

}  // namespace platform
