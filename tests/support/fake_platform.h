// An in-memory stand-in for the platform layer, for tests: files live in
// memory, any call can be made to fail with a chosen code, standard output
// is captured, and the end of the process returns to the test instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fake {

enum class Call { OpenRead, CreateWrite, Read, Write, Close, StandardOutput };

void Reset();

void PutFile(const std::string& name, const std::string& contents);
bool FileExists(const std::string& name);
std::string FileContents(const std::string& name);
// True while some handle on the file is still open.
bool FileIsOpen(const std::string& name);

// The `nth` call of this kind (counting from 1) on the named file, or on
// any file when the name is empty, fails with `code`.
void FailCall(Call call, std::uint32_t code, const std::string& file = "",
              int nth = 1);

// Reads hand out at most this many bytes per call, as a pipe may.
void LimitReadsTo(std::uint32_t bytes);

// Every call made, in order, with the file it concerned.
struct CallRecord {
  Call call;
  std::string file;
};
const std::vector<CallRecord>& Calls();

// Misuses of the layer that a real platform would punish: closing a
// handle twice, using an unknown handle.
int Misuses();

const std::string& StandardOutputBytes();

struct ProcessEnd {
  bool ended;
  std::int32_t status;
};
// Runs `body` until it ends the process.
ProcessEnd RunProcess(void (*body)());

}  // namespace fake
