// The program's one pseudo-random generator, never seeded: a 32-bit linear
// congruential generator starting at state 1. The C library's rand() is a
// different generator, so the demo never calls it.
#pragma once

#include <cstdint>

extern uint32_t demoRandState;  // generator state, 1 at program start

// state = state * 214013 + 2531011 (mod 2^32); returns bits 16..30, 0..32767.
int demoRand();
