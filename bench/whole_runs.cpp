// Whole runs of the program against the floor program, on generated
// inputs: wall time (the median over alternating pairs of the program's
// time over the floor's, so slow drift of the machine cancels), user-space
// instructions per input byte (callgrind), peak resident memory and minor
// page faults (GNU time). Prints a Markdown table; for the two shapes most real
// inputs have, a row more for PLAIN, the program with the plain byte-at-a-time
// reader, so every run shows what the reader's eight-byte lanes buy. Given
// PACKAGE and its floor PACKAGE_FLOOR (the program and the floor linked
// and built as the Debian package builds them), every row measures that
// pair too, in columns beside the first.
//
//   korvanda_bench PROGRAM FLOOR PLAIN [PAIRS [PACKAGE PACKAGE_FLOOR]]
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A fixed-seed generator, so every run of the benchmark reads the same
// bytes.
struct Lcg {
  unsigned long long state;
  unsigned Next(unsigned bound) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>((state >> 33) % bound);
  }
};

// Rising positions up to about `top`, gaps varied.
std::vector<long> Positions(int n, long top, Lcg& rng) {
  std::vector<long> p;
  long step = top / n;
  for (int i = 1; i < n; ++i) {
    p.push_back(static_cast<long>(i) * step -
                static_cast<long>(rng.Next(static_cast<unsigned>(step / 2))));
  }
  return p;
}

// `count` distinct positions drawn from 1..top, rising.
std::vector<long> Distinct(int count, long top, Lcg& rng) {
  std::set<long> drawn;
  while (static_cast<int>(drawn.size()) < count) {
    drawn.insert(1 + static_cast<long>(rng.Next(static_cast<unsigned>(top))));
  }
  return {drawn.begin(), drawn.end()};
}

std::string Join(int n, const std::vector<long>& positions,
                 const std::function<std::string(long, int)>& token,
                 const std::function<std::string(int)>& gap) {
  std::string text = std::to_string(n);
  for (std::size_t i = 0; i < positions.size(); ++i) {
    text += gap(static_cast<int>(i)) + token(positions[i], static_cast<int>(i));
  }
  return text + "\r\n";
}

struct Input {
  std::string name;
  std::string bytes;
};

std::vector<Input> Inputs() {
  Lcg rng{20261208};
  auto decimal = [](long v, int) { return std::to_string(v); };
  auto line_or_space = [](int i) {
    return i % 10 == 9 ? std::string("\r\n") : " ";
  };
  auto long_blanks = [&rng](int) {
    std::string run;
    for (unsigned k = 0, len = 60 + rng.Next(60); k < len; ++k) {
      run += " \t\r\n"[rng.Next(4)];
    }
    return run;
  };
  auto hexadecimal = [](long v, int i) {
    char text[16];
    std::snprintf(text, sizeof text,
                  i % 3 == 0   ? "$%lX"
                  : i % 3 == 1 ? "0x%lx"
                               : "X%08lX",
                  v);
    return std::string(text);
  };
  std::vector<Input> inputs;
  inputs.push_back({"N = 1", "1\r\n"});
  inputs.push_back({"N = 1000", Join(1000, Positions(1000, 1000000, rng),
                                     decimal, line_or_space)});
  std::vector<long> spread = Positions(50000, 1000000000, rng);
  inputs.push_back({"N = 50000, positions to 10^9",
                    Join(50000, spread, decimal, line_or_space)});
  inputs.push_back({"N = 50000, long blank runs",
                    Join(50000, spread, decimal, long_blanks)});
  inputs.push_back({"N = 50000, hexadecimal",
                    Join(50000, spread, hexadecimal, line_or_space)});
  // Distinct random positions, sorted, one to a line: the shape of most
  // real inputs, in decimal and in hexadecimal.
  std::vector<long> random = Distinct(49999, 1000000000, rng);
  auto line = [](int) { return std::string("\r\n"); };
  inputs.push_back(
      {"N = 50000, random, a line each", Join(50000, random, decimal, line)});
  auto dollar_hex = [](long v, int) {
    char text[16];
    std::snprintf(text, sizeof text, "$%lX", v);
    return std::string(text);
  };
  inputs.push_back({"N = 50000, random, a line each, hexadecimal",
                    Join(50000, random, dollar_hex, line)});
  return inputs;
}

double RunOnceMs(const std::string& program, const fs::path& folder) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", 1, 0);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) !=
      0) {
    std::perror("posix_spawn");
    std::exit(2);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  auto end = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed in %s\n", program.c_str(), folder.c_str());
    std::exit(2);
  }
  return std::chrono::duration<double, std::milli>(end - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
      out.append(chunk, got);
    pclose(pipe);
  }
  return out;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Instructions the program executes in user space, from start-up to exit.
long long Instructions(const std::string& program, const fs::path& folder) {
  fs::path out = folder / "callgrind.out";
  Capture("cd '" + folder.string() +
          "' && valgrind --tool=callgrind --callgrind-out-file='" +
          out.string() + "' '" + program + "' >/dev/null 2>&1");
  std::istringstream lines(ReadAll(out));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("summary:", 0) == 0) return std::atoll(line.c_str() + 8);
  }
  return -1;
}

// Peak resident KiB and minor page faults of one run.
std::pair<long, long> Memory(const std::string& program,
                             const fs::path& folder) {
  fs::path out = folder / "peak.txt";
  Capture("cd '" + folder.string() + "' && /usr/bin/time -f '%M %R' -o '" +
          out.string() + "' '" + program + "' >/dev/null 2>&1");
  long peak = 0, faults = 0;
  std::istringstream(ReadAll(out)) >> peak >> faults;
  return {peak, faults};
}

struct Measured {
  double program_ms;
  double ratio;
  double instructions_per_byte;
  std::pair<long, long> peak_kib_and_faults;
};

// PROGRAM against FLOOR on the input in `folder`.
Measured Measure(std::size_t bytes, const std::string& program,
                 const std::string& floor, const fs::path& folder, int pairs) {
  RunOnceMs(program, folder);  // warm the page cache
  RunOnceMs(floor, folder);
  std::vector<double> ours, theirs, ratios;
  for (int i = 0; i < pairs; ++i) {
    // Alternate which goes first, so drift falls on both alike.
    if (i % 2 == 0) {
      ours.push_back(RunOnceMs(program, folder));
      theirs.push_back(RunOnceMs(floor, folder));
    } else {
      theirs.push_back(RunOnceMs(floor, folder));
      ours.push_back(RunOnceMs(program, folder));
    }
    ratios.push_back(ours.back() / theirs.back());
  }
  return {Median(ours), Median(ratios),
          static_cast<double>(Instructions(program, folder)) /
              static_cast<double>(bytes),
          Memory(program, folder)};
}

// One row: each pair of programs, or "-" where there is none.
void PrintRow(const std::string& name, std::size_t bytes,
              const std::vector<std::pair<std::string, std::string>>& pairs_of,
              const fs::path& folder, int pairs, std::size_t columns) {
  std::printf("| %s | %zu |", name.c_str(), bytes);
  std::string peaks, faults;
  for (std::size_t i = 0; i < columns; ++i) {
    if (i >= pairs_of.size()) {
      std::printf(" - | - | - |");
      peaks += " / -";
      faults += " / -";
      continue;
    }
    const Measured m =
        Measure(bytes, pairs_of[i].first, pairs_of[i].second, folder, pairs);
    std::printf(" %.3f | %.3f | %.2f |", m.program_ms, m.ratio,
                m.instructions_per_byte);
    peaks +=
        (i == 0 ? "" : " / ") + std::to_string(m.peak_kib_and_faults.first);
    faults +=
        (i == 0 ? "" : " / ") + std::to_string(m.peak_kib_and_faults.second);
  }
  std::printf(" %s | %s |\n", peaks.c_str(), faults.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  constexpr const char* Usage =
      "usage: %s PROGRAM FLOOR PLAIN [PAIRS [PACKAGE PACKAGE_FLOOR]]\n"
      "Runs PROGRAM and FLOOR in PAIRS alternating pairs (1 to 10000, "
      "default 21) on each input,\nand PLAIN (the program with the plain "
      "reader) on two of them; PACKAGE and\nPACKAGE_FLOOR too, where given; "
      "and prints the table of whole runs.\n";
  if (argc == 2 && std::string(argv[1]) == "--help") {
    std::printf(Usage, argv[0]);
    return 0;
  }
  int pairs = 21;
  if (argc > 4) {
    const std::string_view text = argv[4];
    auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), pairs);
    if (error != std::errc() || end != text.data() + text.size() || pairs < 1 ||
        pairs > 10000) {
      std::fprintf(stderr,
                   "%s: PAIRS must be a whole number from 1 to 10000, "
                   "not '%s'\n",
                   argv[0], argv[4]);
      return 2;
    }
  }
  if (argc != 4 && argc != 5 && argc != 7) {
    std::fprintf(stderr, Usage, argv[0]);
    return 2;
  }
  fs::path folder = fs::temp_directory_path() /
                    ("korvanda-bench-" + std::to_string(getpid()));
  fs::create_directories(folder);
  // Each program runs from a copy made here, all made alike: how a file
  // was written (a linker's many small writes, one copy's few large ones)
  // shapes its pages in the page cache, and so how fast it starts; the
  // same program from two such files differed by several per cent
  // (bench/README.md).
  auto copied = [&](int i) {
    const fs::path copy = folder / (std::to_string(i) + ".program");
    fs::copy_file(argv[i], copy);
    return copy.string();
  };
  std::vector<std::pair<std::string, std::string>> programs = {
      {copied(1), copied(2)}};
  if (argc == 7) programs.push_back({copied(5), copied(6)});
  const std::string plain = copied(3);

  std::printf(
      "| input | bytes | program ms | ratio to floor | instructions "
      "per byte |");
  if (programs.size() > 1) {
    std::printf(
        " package ms | package ratio to floor | package instructions "
        "per byte |");
  }
  std::printf(" peak memory KiB | minor faults |\n|---|---:|");
  for (std::size_t i = 0; i < programs.size(); ++i)
    std::printf("---:|---:|---:|");
  std::printf("---:|---:|\n");
  for (const Input& input : Inputs()) {
    std::ofstream(folder / "korvanda.in", std::ios::binary) << input.bytes;
    PrintRow(input.name, input.bytes.size(), programs, folder, pairs,
             programs.size());
    if (input.name.find("random") != std::string::npos) {
      PrintRow(input.name + ", plain reader", input.bytes.size(),
               {{plain, programs[0].second}}, folder, pairs, programs.size());
    }
  }
  fs::remove_all(folder);
  return 0;
}
