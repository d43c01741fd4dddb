#include "token_model.h"

#include <algorithm>

namespace model {

std::vector<std::string> Tokens(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> tokens(1);  // the last one still growing
  for (std::size_t i = 0; i < size && data[i] != 26; ++i) {
    std::string& last = tokens.back();
    if (data[i] > 32) last.push_back(static_cast<char>(data[i]));
    if (!last.empty() && (data[i] <= 32 || last.size() == 32)) {
      tokens.emplace_back();
    }
  }
  if (tokens.back().empty()) tokens.pop_back();
  return tokens;
}

namespace {

bool AllOf(const std::string& s, const std::string& alphabet) {
  return !s.empty() && s.find_first_not_of(alphabet) == std::string::npos;
}

}  // namespace

std::optional<std::int32_t> Value(const std::string& token) {
  for (const std::string prefix : {"0x", "0X", "$", "x", "X"}) {
    const std::string digits =
        token.substr(std::min(prefix.size(), token.size()));
    if (token.rfind(prefix, 0) == 0 &&
        AllOf(digits, "0123456789abcdefABCDEF")) {
      // At most 8 significant digits: a 32-bit two's-complement pattern.
      const std::size_t first = digits.find_first_not_of('0');
      if (first != std::string::npos && digits.size() - first > 8)
        return std::nullopt;
      return static_cast<std::int32_t>(std::stoul(
          "0" + digits.substr(std::min(first, digits.size())), nullptr, 16));
    }
  }
  const bool signed_ = !token.empty() && (token[0] == '-' || token[0] == '+');
  const std::string number = token.substr(signed_ ? 1 : 0);
  if (!AllOf(number, "0123456789")) return std::nullopt;
  const std::size_t first = number.find_first_not_of('0');
  if (first != std::string::npos && number.size() - first > 10)
    return std::nullopt;
  const long long v = std::stoll("0" + number) * (token[0] == '-' ? -1 : 1);
  if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

std::optional<std::string> Answer(const std::vector<std::string>& tokens,
                                  int& code) {
  // Past the end every read gives 0.
  auto read = [&](std::size_t i) -> std::optional<std::int32_t> {
    return i < tokens.size() ? Value(tokens[i])
                             : std::optional<std::int32_t>(0);
  };
  std::optional<std::int32_t> n = read(0);
  if (!n) return code = 106, std::nullopt;
  if (*n < 1 || *n > 50000) return code = 239, std::nullopt;
  std::vector<long long> p(static_cast<std::size_t>(*n) + 1, 0);
  for (std::int32_t i = 2; i <= *n; ++i) {
    std::optional<std::int32_t> v = read(static_cast<std::size_t>(i - 1));
    if (!v) return code = 106, std::nullopt;
    p[static_cast<std::size_t>(i)] = *v;
    if (*v <= p[static_cast<std::size_t>(i) - 1])
      return code = 239, std::nullopt;
  }
  for (long long v : p) {
    if (v > 1000000000) return code = 239, std::nullopt;
  }
  code = 0;
  if (*n <= 3) return std::string("0\r\n");
  std::size_t k = 3;
  for (std::size_t i = 4; i + 1 <= static_cast<std::size_t>(*n); ++i) {
    if (p[i] - p[i - 1] < p[k] - p[k - 1]) k = i;
  }
  long long t = p.back() + p[k] - p[k - 1];
  return std::to_string(t) + "\r\n" + std::to_string(*n) + " " +
         std::to_string(k - 1) + "\r\n" + std::to_string(k) + " 1\r\n";
}

}  // namespace model
