#include "app/process_random.h"

#include <random>

#include "platform/platform.h"

namespace portavel {
namespace {

uint32_t seed = 0;
std::minstd_rand generator;

}  // namespace

void SeedProcessRandom(Platform& platform) {
  if (seed == 0) {
    DateTime now = platform.Now();
    seed = static_cast<uint32_t>(now.day()) * 86'400'000u + static_cast<uint32_t>(now.ms_of_day());
  }
  seed =
      ((static_cast<uint32_t>(platform.ProcessId()) & 0x7FFFFFFFu) | ((seed << 8) & 0x7FFFFFFFu)) ^
      (platform.TickCount() & 0x7FFFFFFFu);
  generator.seed(seed);
}

uint32_t ProcessRandom() {
  return static_cast<uint32_t>(generator()) & 0x7FFFFFFFu;
}

uint32_t ProcessRandomSeed() {
  return seed;
}

}  // namespace portavel
