#pragma once
// A file chooser for tests and previews: answers each request as it was told
// (a path, a cancellation, a failure, or going away without an answer) on
// the request's own thread, and keeps what it was asked.

#include <condition_variable>
#include <mutex>

#include "zarn_ui/pick.h"

namespace zarn_ui {

class StandInPicker : public FilePicker {
 public:
  // What the next requests get; until told otherwise, a cancellation.
  void answer_with_path(std::filesystem::path path);
  void answer_cancel();
  void answer_failure(std::string reason);
  void answer_vanish();

  // While held, requests wait (stay pending) until release().
  void hold();
  void release();

  struct Seen {
    PickMode mode = PickMode::Open;
    std::string title, accept_label, suggested_name;
    std::vector<FileFilter> filters;
    std::string thread;  // the name of the thread the request ran on
  };
  std::vector<Seen> requests() const;

  std::optional<PickAnswer> run(const PickRequest& request) override;

 private:
  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::optional<PickAnswer> answer_ = PickCancelled{};  // nothing: vanish
  bool held_ = false;
  std::vector<Seen> seen_;
};

}  // namespace zarn_ui
