#pragma once
// Wake-ups from any thread: a worker that posts a result (the engine's result
// channel, the image store, a picker) calls request_frame() so that the window
// draws it on its next frame. Requests made before that frame runs come
// together into one. An idle window waits on this and on its timers only, so
// it uses no processor time while nothing is pending.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

#include "zarn_ui/geometry.h"

namespace zarn_ui {

class FrameWaker {
 public:
  // Any thread.
  void request_frame();

  // The UI thread: whether a frame was asked for since the last take, and
  // clears the request.
  bool take();
  bool pending() const;

  // The host: called on the requesting thread when a request arrives while
  // none is pending. It must only post to the host's own event loop (it runs
  // under this waker's lock); set it to nothing before the host goes away.
  void set_notify(std::function<void()> notify);

  // For hosts without an event loop of their own: sleeps until a request or
  // `deadline` (forever without one); true when a request came.
  bool wait_until(std::optional<Instant> deadline);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool pending_ = false;
  std::function<void()> notify_;
};

}  // namespace zarn_ui
