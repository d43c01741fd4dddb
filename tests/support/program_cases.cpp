#include "program_cases.h"

namespace testutil {
namespace {

// N points at equal steps, ten to a line.
std::string EvenlySpaced(int n, int step) {
  std::string text = std::to_string(n);
  for (int i = 1; i < n; ++i) {
    text += (i % 10 == 0 ? "\r\n" : " ") + std::to_string(i * step);
  }
  return text + "\r\n";
}

}  // namespace

const std::vector<AnswerCase>& AnswerCases() {
  static const std::vector<AnswerCase> cases = {
      {"Example", "5\r\n2 5 6 10\r\n", "11\r\n5 3\r\n4 1\r\n"},
      {"OnePoint", "1", "0\r\n"},
      {"OnePointIgnoresTheRest", "1 junk", "0\r\n"},
      {"TwoPoints", "2 7", "0\r\n"},
      {"ThreePoints", "3\r\n1\r\n1000000000\r\n", "0\r\n"},
      {"FourPoints", "4 1 3 4", "6\r\n4 2\r\n3 1\r\n"},
      {"LargestAnswer", "4 1 999999999 1000000000",
       "1999999998\r\n4 2\r\n3 1\r\n"},
      {"TieGoesToLowestIndex", "6 10 12 14 16 30", "32\r\n6 2\r\n3 1\r\n"},
      {"OuterGapsNeverCount", "6 1 10 20 30 31", "40\r\n6 2\r\n3 1\r\n"},
      {"NarrowestLate", "7 10 20 30 40 41 100", "101\r\n7 5\r\n6 1\r\n"},
      {"Hexadecimal", "$5 $2 x5 0X6 0xA", "11\r\n5 3\r\n4 1\r\n"},
      {"ExtraInvalidTokensIgnored", "4 1 3 4 ??? 12a", "6\r\n4 2\r\n3 1\r\n"},
      {"EndByteThenJunk", "4 1 3 4\x1A junk", "6\r\n4 2\r\n3 1\r\n"},
      {"PaddedWithNulsAndTabs", std::string("4\0\t1\0\0 3\n\n4", 12),
       "6\r\n4 2\r\n3 1\r\n"},
      {"MostPoints", EvenlySpaced(50000, 20000),
       "1000000000\r\n50000 2\r\n3 1\r\n"},
  };
  return cases;
}

const std::vector<StopCase>& InvalidInputCases() {
  static const std::vector<StopCase> cases = {
      {"Empty", "", 239},
      {"BlanksOnly", " \r\n", 239},
      {"ZeroPoints", "0", 239},
      {"NegativeCount", "-4 1 2 3", 239},
      {"TooManyPoints", "50001 1 2 3", 239},
      {"CountNotANumber", "4.0 1 2 3", 106},
      {"FirstPositionZero", "3 0 5", 239},
      {"EqualNeighbours", "4 1 5 5", 239},
      {"Falling", "4 1 5 3", 239},
      {"MissingPosition", "4 1 2", 239},
      {"PositionNotANumber", "4 1 2 +x3", 106},
      {"OutOfRange", "3 1 1000000001", 239},
      {"OutOfRangeThenInvalid", "4 1000000001 1000000002 ?", 106},
      {"OutOfRangeThenFalling", "4 1000000001 5 6", 239},
      {"ByteOrderMark",
       "\xEF\xBB\xBF"
       "4 1 3 4",
       106},
  };
  return cases;
}

}  // namespace testutil
