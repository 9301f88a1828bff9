#include "engine/deadline.h"

#include <cstdint>

namespace mail {

ProgressDeadline::Clock::time_point ProgressDeadline::expiry() const {
  using std::chrono::milliseconds;
  if (min_rate_ == 0) return start_ + base_;
  // Whole seconds earned, then the remainder in milliseconds, so that no
  // byte count overflows the product.
  const std::size_t seconds = received_ / min_rate_;
  const std::size_t rest_ms = (received_ % min_rate_) * 1000 / min_rate_;
  const auto earned = std::chrono::seconds(static_cast<std::int64_t>(seconds)) +
                      milliseconds(static_cast<std::int64_t>(rest_ms));
  return start_ + base_ + earned;
}

}  // namespace mail
