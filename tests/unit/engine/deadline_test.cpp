#include "engine/deadline.h"

#include <gtest/gtest.h>

using namespace mail;
using namespace std::chrono;

TEST(ProgressDeadline, MovesOnOneSecondForEachMinimumRateOfBytes) {
  const ProgressDeadline::Clock::time_point start{};
  struct Case {
    std::size_t min_rate;
    std::size_t received;
    milliseconds after_start;
  };
  const std::vector<Case> cases = {
      {1024, 0, milliseconds(2000)},
      {1024, 512, milliseconds(2500)},
      {1024, 10 * 1024, milliseconds(12'000)},
      {1000, 1, milliseconds(2001)},
      {0, 1'000'000, milliseconds(2000)},  // no rate: a fixed deadline
      // Terabytes earn their seconds without overflow.
      {1024, std::size_t{1} << 40, milliseconds(2000) + seconds(std::int64_t{1} << 30)},
  };
  for (const auto& c : cases) {
    ProgressDeadline d(start, milliseconds(2000), c.min_rate);
    d.received(c.received / 2);
    d.received(c.received - c.received / 2);
    EXPECT_EQ(d.expiry() - start, c.after_start) << c.min_rate << " " << c.received;
  }
}
