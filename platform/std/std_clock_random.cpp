#include "platform/std/std_clock_random.h"

#include <cstdlib>
#include <ctime>

namespace orvane {

LocalTime StdClock::Now() {
  std::time_t now = std::time(nullptr);
  std::tm* t = std::localtime(&now);
  if (!t) return LocalTime{1970, 1, 1, 0, 0, 0};
  return LocalTime{t->tm_year + 1900, t->tm_mon + 1, t->tm_mday, t->tm_hour, t->tm_min, t->tm_sec};
}

uint32_t StdClock::SecondsSinceEpoch() { return static_cast<uint32_t>(std::time(nullptr)); }

void StdRandom::Seed(uint32_t seed) { std::srand(seed); }

int StdRandom::Next() { return std::rand(); }

}  // namespace orvane
