#include "zarn_ui/frame_waker.h"

namespace zarn_ui {

void FrameWaker::request_frame() {
  std::lock_guard lock(mutex_);
  if (pending_) return;
  pending_ = true;
  changed_.notify_all();
  if (notify_) notify_();
}

bool FrameWaker::take() {
  std::lock_guard lock(mutex_);
  const bool was = pending_;
  pending_ = false;
  return was;
}

bool FrameWaker::pending() const {
  std::lock_guard lock(mutex_);
  return pending_;
}

void FrameWaker::set_notify(std::function<void()> notify) {
  std::lock_guard lock(mutex_);
  notify_ = std::move(notify);
}

bool FrameWaker::wait_until(std::optional<Instant> deadline) {
  std::unique_lock lock(mutex_);
  if (deadline) {
    changed_.wait_until(lock, *deadline, [&] { return pending_; });
  } else {
    changed_.wait(lock, [&] { return pending_; });
  }
  return pending_;
}

}  // namespace zarn_ui
