#include "program_cases.h"

#include <cstdint>

#include "token_model.h"

namespace testutil {
namespace {

// N, then the positions of points 2 to N.
using Tokens = std::vector<std::string>;

// N points whose gaps are all 10 but those listed, which are 1; the
// positions up to point `last` only, where it is given.
Tokens Points(int n, const std::vector<int>& narrow, int last = 0) {
  Tokens tokens = {std::to_string(n)};
  std::int64_t position = 0;
  for (int i = 2; i <= (last != 0 ? last : n); ++i) {
    bool is_narrow = false;
    for (int k : narrow) is_narrow |= k == i;
    position += is_narrow ? 1 : 10;
    tokens.push_back(std::to_string(position));
  }
  return tokens;
}

// Ten tokens a line, CR LF.
std::string Text(const Tokens& tokens) {
  std::string text;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    text += (i == 0 ? "" : i % 10 == 0 ? "\r\n" : " ") + tokens[i];
  }
  return text + "\r\n";
}

ProgramCase Judged(std::string name, std::string input, std::string place) {
  return {std::move(name), [input] { return input; }, std::move(place)};
}

void AddAnswers(int n, std::vector<ProgramCase>& cases) {
  const std::string count = "N" + std::to_string(n);
  if (n <= 3) {
    cases.push_back(Judged(count, Text(Points(n, {})), ""));
    return;
  }
  for (int k = 3; k <= n - 1; ++k) {
    const std::string at = count + "_k" + std::to_string(k);
    cases.push_back(Judged(at + "_narrowest", Text(Points(n, {k})), ""));
    // The outer gaps narrower still, never candidates; a later tie, which
    // loses; and tokens after the N-th, never read.
    cases.push_back(Judged(at + "_tied_outer_gaps_narrower",
                           Text(Points(n, {2, k, n - 1, n})) + "12a ?", ""));
  }
}

void AddStops(int n, std::vector<ProgramCase>& cases) {
  const Tokens good = Points(n, {});
  for (int i = 2; i <= n; ++i) {
    const auto at = static_cast<std::size_t>(i - 1);
    const std::string name =
        "N" + std::to_string(n) + "_position" + std::to_string(i) + "_";
    auto with = [&](const std::string& token) {
      Tokens tokens = good;
      tokens[at] = token;
      return Text(tokens);
    };
    const std::int64_t before = i == 2 ? 0 : std::stoll(good[at - 1]);
    cases.push_back(Judged(name + "equal_to_the_one_before",
                           with(std::to_string(before)), "position_order"));
    cases.push_back(Judged(name + "below_the_one_before",
                           with(std::to_string(before - 5)), "position_order"));
    // A gap taken before the order test would overflow here.
    cases.push_back(
        Judged(name + "lowest_integer", with("-2147483648"), "position_order"));
    cases.push_back(
        Judged(name + "not_an_integer", with(good[at] + "x"), "read_position"));
    // From here on above the limit, still rising: only the range stops it,
    // once every position is read; a bad token after that comes first.
    Tokens high = good;
    for (std::size_t j = at; j < high.size(); ++j) {
      high[j] = std::to_string(1000000001 + j - at);
    }
    cases.push_back(
        Judged(name + "above_1000000000", Text(high), "position_range"));
    if (i < n) {
      high.back() = "1e9";
      cases.push_back(Judged(name + "above_1000000000_a_bad_token_later",
                             Text(high), "read_position"));
    }
    const Tokens cut(good.begin(), good.begin() + i - 1);
    cases.push_back(Judged(name + "missing", Text(cut), "position_order"));
  }
}

}  // namespace

std::vector<ProgramCase> GeneratedCases(int max_points) {
  std::vector<ProgramCase> cases = {
      Judged("count_0", "0 1 2", "count_range"),
      Judged("count_minus_1", "-1 1 2", "count_range"),
      Judged("count_50001", "50001 1 2", "count_range"),
      Judged("count_missing", " \r\n", "count_range"),
      Judged("count_not_an_integer", "4.0 1 2 3", "read_count"),
  };
  for (int n = 1; n <= max_points; ++n) {
    AddAnswers(n, cases);
    AddStops(n, cases);
  }
  for (int k : {3, 25001, 49999}) {
    auto input = [k] { return Text(Points(50000, {2, k, 50000})); };
    cases.push_back({"N50000_k" + std::to_string(k), input, ""});
  }
  cases.push_back({"N50000_position50000_missing",
                   [] { return Text(Points(50000, {}, 49999)); },
                   "position_order"});
  return cases;
}

Judgement Judge(const ProgramCase& c) {
  std::string input = c.input();
  const auto tokens = model::Tokens(
      reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
  int code = 0;
  const std::optional<std::string> answer = model::Answer(tokens, code);
  return {std::move(input), code, answer.value_or(""), answer ? "" : c.place};
}

}  // namespace testutil
