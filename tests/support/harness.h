// Runs the program's pieces in this process over the fake platform, with
// all of the program's static state put back to its start-up values.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "failstop/fail_stop.h"
#include "fake_platform.h"
#include "report_line.h"
#include "solver/solver.h"
#include "textio/text_stream.h"
#include "token_model.h"

namespace harness {

inline void ResetProcess() {
  // The report line's template as the program starts with it: a stop
  // fills it in place, once in a process, many times in a test's.
  static const auto pristine = std::to_array(failstop::Report);
  std::copy(pristine.begin(), pristine.end(), failstop::Report);
  fake::Reset();
  textio::PendingIoStatus = 0;
  textio::InputFile = {};
  textio::OutputFile = {};
  failstop::ProcessExitStatus = 0;
  failstop::FailureSite = 0;
}

struct Outcome {
  bool ended;
  std::int32_t status;
  std::string standard_output;
  bool out_exists;
  std::string out;
};

// The program's body, in this process over the in-memory platform, with
// whatever the test set up beforehand (files, planned failures). (The
// built program runs as a process of its own in tests/e2e:
// e2e::RunBuiltProgram.)
inline Outcome RunBody() {
  fake::ProcessEnd end = fake::RunProcess(solver::RunSolver);
  return {end.ended, end.status, fake::StandardOutputBytes(),
          fake::FileExists("korvanda.out"), fake::FileContents("korvanda.out")};
}

// One read of an integer token: its value, or a refusal (106, the value
// then unspecified and taken as 0).
struct Token {
  Token(std::int32_t v, std::uint32_t s = 0)
      : value(s == 0 ? v : 0), status(s) {}
  std::int32_t value;
  std::uint32_t status;
  bool operator==(const Token&) const = default;
};
inline void PrintTo(const Token& t, std::ostream* os) {
  *os << t.value << (t.status != 0 ? " refused" : "");
}

// What the real reader makes of a file holding `data`, handed over at most
// `limit` bytes a read (0: whole blocks): `count` reads and one more, and
// whether the data had ended by then.
inline std::vector<Token> ReadTokens(const std::string& data, std::size_t count,
                                     std::uint32_t limit, bool& ended) {
  ResetProcess();
  fake::PutFile("in", data);
  fake::LimitReadsTo(limit);
  textio::BindStream(textio::InputFile, "in");
  textio::OpenForReading(textio::InputFile);
  std::vector<Token> read;
  for (std::size_t i = 0; i <= count; ++i) {
    textio::PendingIoStatus = 0;
    const std::int32_t value = textio::ReadInteger(textio::InputFile);
    read.emplace_back(value, textio::PendingIoStatus);
  }
  ended = textio::InputFile.AtEnd;
  return read;
}

// What the plain model says those reads give: each token's value or its
// refusal; past the last token, 0.
inline std::vector<Token> ModelTokens(const std::string& data) {
  std::vector<Token> tokens;
  for (const std::string& token : model::Tokens(
           reinterpret_cast<const std::uint8_t*>(data.data()), data.size())) {
    const std::optional<std::int32_t> value = model::Value(token);
    tokens.emplace_back(value.value_or(0),
                        value ? 0 : textio::InvalidNumberStatus);
  }
  return tokens;
}

using testutil::ParseReport;
using testutil::Report;

}  // namespace harness
