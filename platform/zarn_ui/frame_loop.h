#pragma once
// The frame loop that hosts run over a root widget, free of any window system:
// sync → layout → draw, input dispatch, and the
// schedule of the next frame.

#include <optional>

#include "zarn_ui/widget.h"

namespace zarn_ui {

class FrameLoop {
 public:
  FrameLoop(Widget& root, TextRenderer& text, ::persist::Document* document);

  void resize(Size size);
  Size size() const { return size_; }

  // sync, then layout (on the first frame, after a resize, an event, or when
  // the root asks for another frame).
  void run_frame(Instant now);
  void paint(Painter& painter, Instant now);
  void finish_frame();

  // Input goes to the root, which applies its own precedence.
  EventResult dispatch(const Event& event);

  // Whether another frame should run right away (16 ms pacing), and the
  // instant of the next timed wake-up when not.
  bool wants_frame() const;
  std::optional<Instant> wake_at() const;
  std::uint64_t frames() const { return frames_; }

 private:
  Widget& root_;
  TextRenderer& text_;
  ::persist::Document* document_;
  Size size_{};
  bool layout_dirty_ = true;
  std::uint64_t frames_ = 0;
};

}  // namespace zarn_ui
