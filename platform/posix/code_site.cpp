#include <cstdint>

#include "platform/platform.h"

// The linker places this at the first byte of the loaded image, so an
// address taken relative to it does not move with address-space
// randomisation.
extern "C" const char __ehdr_start[];

namespace platform {

namespace {
// The traditional load address of a non-relocatable program, so a site
// reads the same as it would in a fixed-address build.
constexpr std::uintptr_t FixedImageBase = 0x00400000;
}  // namespace

std::uint32_t CodeSite(const void* code_address) {
  auto offset = reinterpret_cast<std::uintptr_t>(code_address) -
                reinterpret_cast<std::uintptr_t>(__ehdr_start);
  return static_cast<std::uint32_t>(offset + FixedImageBase);
}

}  // namespace platform
