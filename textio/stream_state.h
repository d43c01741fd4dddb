// What the stream files share and nothing outside textio needs.
#pragma once

#include <cstdint>

#include "textio/text_stream.h"

namespace textio {

inline void Record(std::uint32_t status) { PendingIoStatus = status; }

// Makes a freshly opened input stream's empty buffer read as such.
void StartReading(TextStream& stream);

}  // namespace textio
