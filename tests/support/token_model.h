// An independent statement of how the input's bytes become integer tokens,
// written plainly to check the real reader against.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace model {

// The tokens in order, as the reader must cut them.
std::vector<std::string> Tokens(const std::uint8_t* data, std::size_t size);

// The token's value, or nothing when it is not a valid integer.
std::optional<std::int32_t> Value(const std::string& token);

// What a complete run must write, or nothing when the run must stop; the
// failure code is then in `code`.
std::optional<std::string> Answer(const std::vector<std::string>& tokens,
                                  int& code);

}  // namespace model
