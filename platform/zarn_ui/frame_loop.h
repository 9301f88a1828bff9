#pragma once
// The frame loop that hosts run over a root widget, free of any window system:
// sync → layout (only when needed) → draw, input routing, and the schedule of
// the next frame.
//
// Input routing:
//   keys, text, pre-edit .. to the focused widget, then up through its
//                           parents until one handles it; an unhandled Tab
//                           moves focus (Shift+Tab backwards)
//   pointer ............... to the widget under it (root.hit_test), then up
//                           through its parents; a press captures the pointer
//                           for that widget until the release
//   enter / leave ......... to each widget the pointer comes over or leaves
//   modal surfaces ........ an open one (Widget::modal_rect) takes all input:
//                           focus moves into it and back out when it closes
//
// Widgets do not pass events on to their children; the loop does.
//
// Invalidation: a handled event repaints; only a resize, a new scale factor,
// EventContext::request_layout or the root's needs_another_frame() lays out
// again. Other threads ask for a frame through waker().

#include <memory>
#include <optional>

#include "zarn_ui/frame_waker.h"
#include "zarn_ui/widget.h"
#include "zarn_ui/widget_tree.h"

namespace zarn_ui {

class FrameLoop {
 public:
  FrameLoop(Widget& root, TextRenderer& text, ::persist::Document* document);
  FrameLoop(const FrameLoop&) = delete;
  FrameLoop& operator=(const FrameLoop&) = delete;

  void resize(Size size);
  Size size() const { return size_; }
  // Device pixels per point of the window's screen.
  void set_scale(float scale);
  float scale() const { return scale_; }

  // sync, then layout when something asked for one.
  void run_frame(Instant now);
  void paint(Painter& painter, Instant now);
  void finish_frame();

  EventResult dispatch(const Event& event);

  // Keyboard focus. set_focus(nullptr) clears it; a widget not in the tree is
  // refused.
  Widget* focused() const { return focused_; }
  bool set_focus(Widget* widget, FocusReason reason = FocusReason::Other);
  bool focus_next(bool backwards);
  // The window gains or loses the keyboard: the focused widget hears of it
  // (FocusOut / FocusIn) and keeps its place.
  void set_window_active(bool active);

  Widget* hovered() const { return hover_.empty() ? nullptr : hover_.back(); }
  Widget* pointer_capture() const { return capture_; }
  CursorShape cursor() const { return cursor_; }

  void request_layout() { layout_dirty_ = true; }
  void request_paint() { paint_dirty_ = true; }
  bool needs_layout() const;
  bool needs_paint() const { return paint_dirty_; }

  // Any thread: draw on the next frame.
  void request_frame() { waker_->request_frame(); }
  const std::shared_ptr<FrameWaker>& waker() const { return waker_; }

  // Whether another frame should run right away (16 ms pacing), and the
  // instant of the next timed wake-up when not.
  bool wants_frame() const;
  std::optional<Instant> wake_at() const;
  std::uint64_t frames() const { return frames_; }
  std::uint64_t layouts() const { return layouts_; }

 private:
  // Forgets widgets that left the tree, and moves focus into or out of a
  // modal surface that opened or closed.
  void refresh();
  void refresh_modal();
  // Whether the widget at the end of `path` may take input while a modal
  // surface is open: inside the modal widget and within its rectangle.
  bool in_modal(const tree::Path& path) const;
  tree::Path key_path() const;
  tree::Path pointer_path(Point p) const;
  void update_hover(std::optional<Point> p);
  void update_cursor();
  // Offers `event` to the last widget of `path`, then to its parents.
  EventResult bubble(const tree::Path& path, const Event& event, EventContext& ctx,
                     Widget** focus_request);
  EventResult deliver(const tree::Path& path, const Event& event);
  void send(Widget& w, const Event& event);

  Widget& root_;
  TextRenderer& text_;
  ::persist::Document* document_;
  std::shared_ptr<FrameWaker> waker_ = std::make_shared<FrameWaker>();
  Size size_{};
  float scale_ = 1;
  bool layout_dirty_ = true, paint_dirty_ = true;
  std::uint64_t frames_ = 0, layouts_ = 0;

  Widget* focused_ = nullptr;
  tree::Path focus_path_;  // root … focused_, or the part of it still in the tree
  Widget* focus_before_modal_ = nullptr;
  tree::Path modal_path_;
  std::optional<Rect> modal_rect_;
  bool window_active_ = true;

  Widget* capture_ = nullptr;
  PointerButton capture_button_ = PointerButton::Left;
  tree::Path hover_;
  std::optional<Point> pointer_;
  CursorShape cursor_ = CursorShape::Arrow;
};

}  // namespace zarn_ui
