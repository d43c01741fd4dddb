// Where a stop happened. Each place in the program that can stop it names
// itself, and its report shows a value of its own: the address of a
// function that belongs to that place alone, as an offset from the first
// byte of the loaded image plus 0x00400000 (the load address of a classic
// fixed-address program), so the value is the same on every run of one
// build and on every pass of a loop, wherever the system loads the program.
//
// Why it holds in every build, whatever the compiler, the optimisation
// level, unrolling, profile-guided or link-time optimisation, or a linker
// that folds identical code:
//  1. KORVANDA_STOP_SITE(name), written at the place, defines a class of
//     that place's own, "korvanda_stop_<name>", with one function, Stop,
//     and gives its address. A function is defined once however often the
//     code around the place is copied, unrolled, cloned or inlined: every
//     copy of the place calls, and names, the same function.
//  2. The value is that function's address, which Stop takes itself. It
//     does not depend on where Stop is called from, so merged, moved or
//     duplicated calls change nothing.
//  3. No two places' functions are alike, so no folding of equal code, in
//     the compiler or in the linker at any strength, can give two places
//     one address. Each Stop hands StopAt a number of its own
//     (__COUNTER__, which the preprocessor never gives twice in one
//     source file; every place is in solver/solver.cpp), and StopAt
//     stores it in a volatile word: a store no optimiser may drop, so the
//     number stays in the code of every copy of Stop, and of StopAt
//     inlined into it. Addresses alone would not do: two functions that
//     differ only in naming themselves are equal to a linker that folds
//     by comparing code (lld's --icf=all). No attribute is needed for
//     any of this: a clone or an inlined copy of Stop still names the one
//     function. Stop is kept out of line and cold only so that the check
//     at the place stays a test and a call the hot path never takes.
//  4. SiteValue in fail_stop.cpp turns the address into the report's
//     value; the build writes the map of places from the program's symbol
//     table and fails unless its functions are exactly the places listed
//     in solver/stop_places.txt, each at an address of its own; the
//     end-to-end suite checks that each stop reports its own function's
//     value.
#pragma once

#include <cstdint>

namespace failstop {

// A place's own stop: records `code` and the place, then ends the
// process. Never returns.
using StopSite = void (*)(std::int32_t code);

// Records a stop at `place` with `code` and ends the process; `number`
// is the place's own (see above).
[[noreturn]] void StopAt(std::int32_t code, StopSite place,
                         std::uint32_t number);

}  // namespace failstop

#define KORVANDA_STOP_SITE(name)                                    \
  (__extension__({                                                  \
    struct korvanda_stop_##name {                                   \
      [[noreturn, gnu::noinline, gnu::cold]] static void Stop(      \
          std::int32_t code) {                                      \
        ::failstop::StopAt(code, &Stop, __COUNTER__);               \
      }                                                             \
    };                                                              \
    static_cast<::failstop::StopSite>(&korvanda_stop_##name::Stop); \
  }))
