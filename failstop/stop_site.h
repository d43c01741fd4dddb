// Where a stop happened. Each place in the program that can stop it names
// itself, and its report shows a value of its own: where that place sits
// in the program's code, as an offset from the first byte of the loaded
// image plus 0x00400000 (the load address of a classic fixed-address
// program), so the value is the same on every run of one build and on
// every pass of a loop, wherever the system loads the program.
//
// The contract has three parts, and they hold in every build, whatever
// the compiler, the optimisation level or link-time optimisation:
//  1. KORVANDA_STOP_SITE(name), written at the place itself, puts an
//     assembler label "korvanda_stop_<name>" into the code right there and
//     gives its address. The label is one global symbol: an optimiser that
//     copied the place (unrolling, cloning, inlining it twice) would define
//     it twice and the build would fail, and two places can never share a
//     value, since their labels differ. Nothing depends on where the stop
//     function is called from, so merged or moved calls change nothing.
//  2. SiteValue in fail_stop.cpp turns the address into the report's value.
//  3. The build writes the map of places from the program's symbol table
//     and fails unless its labels are exactly the places listed in
//     solver/stop_places.txt; the end-to-end suite checks that each stop
//     reports its own label's value.
#pragma once

namespace failstop {

using StopSite = const void*;

}  // namespace failstop

#define KORVANDA_STOP_SITE(name)                                              \
  (__extension__({                                                            \
    __asm__ volatile(".globl korvanda_stop_" #name                            \
                     "\n"                                                     \
                     "korvanda_stop_" #name ":");                             \
    extern const char korvanda_stop_##name[] __asm__("korvanda_stop_" #name); \
    static_cast<::failstop::StopSite>(korvanda_stop_##name);                  \
  }))
