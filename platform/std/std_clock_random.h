// Clock and random ports on the C library (time, localtime, srand, rand).
#ifndef ORVANE_PLATFORM_STD_CLOCK_RANDOM_H
#define ORVANE_PLATFORM_STD_CLOCK_RANDOM_H

#include "platform/system_port.h"

namespace orvane {

class StdClock : public ClockPort {
 public:
  LocalTime Now() override;
  uint32_t SecondsSinceEpoch() override;
};

class StdRandom : public RandomPort {
 public:
  void Seed(uint32_t seed) override;
  int Next() override;
};

}  // namespace orvane

#endif
