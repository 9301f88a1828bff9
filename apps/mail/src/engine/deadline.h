#pragma once
// The deadline of one request, which moves on as the server sends: a base
// allowance from the start, plus one second for every `min_rate` bytes
// received. A server that keeps up at least that rate never meets it; one
// that drips bytes meets it soon after the base allowance is spent.

#include <chrono>
#include <cstddef>

namespace mail {

class ProgressDeadline {
 public:
  using Clock = std::chrono::steady_clock;

  ProgressDeadline(Clock::time_point start, std::chrono::milliseconds base, std::size_t min_rate)
      : start_(start), base_(base), min_rate_(min_rate) {}

  void received(std::size_t bytes) { received_ += bytes; }
  [[nodiscard]] std::size_t received() const { return received_; }

  // When the request runs out of time, given what has arrived so far.
  [[nodiscard]] Clock::time_point expiry() const;

 private:
  Clock::time_point start_;
  std::chrono::milliseconds base_;
  std::size_t min_rate_;  // 0: the deadline does not move
  std::size_t received_ = 0;
};

}  // namespace mail
