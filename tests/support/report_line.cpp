#include "report_line.h"

namespace testutil {

Report ParseReport(const std::string& bytes) {
  const std::string head = "Runtime error";
  if (bytes.size() != 32 || bytes.compare(0, head.size(), head) != 0 ||
      bytes.compare(17, 4, " at ") != 0 ||
      bytes.compare(29, 3, std::string("\0\r\n", 3)) != 0)
    return {};
  std::string field = bytes.substr(13, 4);
  std::size_t first = field.find_first_not_of(' ');
  if (first == 0 || first == std::string::npos ||
      field.find_first_not_of("0123456789", first) != std::string::npos)
    return {};
  std::string site = bytes.substr(21, 8);
  if (site.find_first_not_of("0123456789ABCDEF") != std::string::npos)
    return {};
  return {true, std::stoi(field.substr(first)),
          static_cast<std::uint32_t>(std::stoul(site, nullptr, 16))};
}

}  // namespace testutil
