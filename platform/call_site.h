// For functions that report the return address of their caller: each call
// in the source must stay one call in the program, never inlined, cloned,
// or merged with another call of the same function.
#pragma once

#if defined(__clang__)
#define KORVANDA_CALL_SITE __attribute__((noinline, nomerge))
#else
#define KORVANDA_CALL_SITE __attribute__((noipa))
#endif
