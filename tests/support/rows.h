// What the tables of cases share: a row's name as its test's name, and the
// files most rows start from.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace rows {

// For INSTANTIATE_TEST_SUITE_P: each case is named by its field `name`.
struct ByName {
  template <typename Case>
  std::string operator()(const testing::TestParamInfo<Case>& info) const {
    return info.param.name;
  }
};

// An input most rows run on, its answer, and what an earlier run left in
// korvanda.out.
inline const std::string Input = "4 1 3 4";
inline const std::string Answer = "6\r\n4 2\r\n3 1\r\n";
inline const std::string Earlier = "an answer left by an earlier run\r\n";

}  // namespace rows
