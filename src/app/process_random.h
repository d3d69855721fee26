#pragma once

#include <cstdint>

namespace portavel {

class Platform;

// Seeds the process's pseudo-random generator from the clock, the process
// id and the tick count, so that processes started in the same instant
// still draw different numbers.
void SeedProcessRandom(Platform& platform);
// A pseudo-random number below 2^31.
uint32_t ProcessRandom();
uint32_t ProcessRandomSeed();

}  // namespace portavel
