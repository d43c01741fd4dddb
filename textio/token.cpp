#include "textio/token.h"

namespace textio::token_detail {

int SkipZeroRun(const std::uint8_t* p, int at) {
  while (p[at] == '0') {
    at += lanes::RunOf(lanes::Within(lanes::Load8(p + at), '0', '0'));
  }
  return at;
}

}  // namespace textio::token_detail
