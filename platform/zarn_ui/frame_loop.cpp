#include "zarn_ui/frame_loop.h"


namespace zarn_ui {

FrameLoop::FrameLoop(Widget& root, TextRenderer& text, ::persist::Document* document)
    : root_(root), text_(text), document_(document) {}

void FrameLoop::resize(Size size) {
  if (size == size_) return;
  size_ = size;
  layout_dirty_ = true;
}

void FrameLoop::run_frame(Instant now) {
  SyncContext sync{document_, now};
  root_.sync(sync);
  if (layout_dirty_ || root_.needs_another_frame() || root_.needs_idle_sync() ||
      root_.needs_animation_frame() || frames_ == 0) {
    LayoutContext layout{text_, 1};
    root_.build_layout(layout);
    root_.apply_layout(Rect{0, 0, size_.width, size_.height}, layout);
    layout_dirty_ = false;
  }
  ++frames_;
}

void FrameLoop::paint(Painter& painter, Instant now) {
  DrawContext ctx{painter, PermissionContext::permissive(), now};
  root_.draw(ctx);
}

void FrameLoop::finish_frame() { root_.frame_finished(); }

EventResult FrameLoop::dispatch(const Event& event) {
  // The root decides input precedence (modal surfaces first); every event may
  // change what is shown, so the next frame lays out again.
  layout_dirty_ = true;
  EventContext ctx;
  return root_.handle_event(event, ctx);
}

bool FrameLoop::wants_frame() const {
  return layout_dirty_ || root_.needs_idle_sync() || root_.needs_animation_frame() ||
         root_.needs_another_frame();
}

std::optional<Instant> FrameLoop::wake_at() const { return root_.next_wake_up(); }

}  // namespace zarn_ui
