#include "zarn_ui/pick_standin.h"

#include <pthread.h>

namespace zarn_ui {

void StandInPicker::answer_with_path(std::filesystem::path path) {
  std::lock_guard lock(mutex_);
  answer_ = PickChosen{std::move(path)};
}

void StandInPicker::answer_cancel() {
  std::lock_guard lock(mutex_);
  answer_ = PickCancelled{};
}

void StandInPicker::answer_failure(std::string reason) {
  std::lock_guard lock(mutex_);
  answer_ = PickFailed{std::move(reason)};
}

void StandInPicker::answer_vanish() {
  std::lock_guard lock(mutex_);
  answer_.reset();
}

void StandInPicker::hold() {
  std::lock_guard lock(mutex_);
  held_ = true;
}

void StandInPicker::release() {
  {
    std::lock_guard lock(mutex_);
    held_ = false;
  }
  released_.notify_all();
}

std::vector<StandInPicker::Seen> StandInPicker::requests() const {
  std::lock_guard lock(mutex_);
  return seen_;
}

std::optional<PickAnswer> StandInPicker::run(const PickRequest& request) {
  char name[16] = {};
  pthread_getname_np(pthread_self(), name, sizeof name);
  std::unique_lock lock(mutex_);
  seen_.push_back({request.mode(), request.title(), request.accept_label(),
                   request.suggested_name(), request.filters(), name});
  released_.wait(lock, [&] { return !held_; });
  return answer_;
}

}  // namespace zarn_ui
