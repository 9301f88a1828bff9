#include "zarn_ui/frame_loop.h"

#include <algorithm>

namespace zarn_ui {

namespace {

bool is_keyboard(const Event& e) {
  return std::holds_alternative<KeyPress>(e) || std::holds_alternative<KeyRelease>(e) ||
         std::holds_alternative<TextEvent>(e) || std::holds_alternative<Preedit>(e);
}

bool is_plain_tab(const Event& e) {
  const auto* k = std::get_if<KeyPress>(&e);
  return k && k->key == Key::Tab && !k->mods.ctrl && !k->mods.alt && !k->mods.command;
}

}  // namespace

FrameLoop::FrameLoop(Widget& root, TextRenderer& text, ::persist::Document* document)
    : root_(root), text_(text), document_(document) {}

void FrameLoop::resize(Size size) {
  if (size == size_) return;
  size_ = size;
  layout_dirty_ = true;
}

void FrameLoop::set_scale(float scale) {
  if (!(scale > 0) || scale == scale_) return;
  scale_ = scale;
  layout_dirty_ = true;
}

bool FrameLoop::needs_layout() const {
  return layout_dirty_ || frames_ == 0 || root_.needs_another_frame();
}

void FrameLoop::run_frame(Instant now) {
  waker_->take();
  paint_dirty_ = false;  // this frame draws what was asked for
  SyncContext sync{document_, now, waker_};
  root_.sync(sync);
  if (needs_layout()) {
    LayoutContext layout{text_, scale_};
    root_.build_layout(layout);
    root_.apply_layout(Rect{0, 0, size_.width, size_.height}, layout);
    layout_dirty_ = false;
    ++layouts_;
  }
  refresh();
  // What lies under a pointer that stands still may have moved.
  if (pointer_ && !capture_) update_hover(pointer_);
  update_cursor();
  ++frames_;
}

void FrameLoop::paint(Painter& painter, Instant now) {
  DrawContext ctx{painter, PermissionContext::permissive(), now};
  root_.draw(ctx);
  paint_dirty_ = false;
}

void FrameLoop::finish_frame() {
  root_.frame_finished();
}

bool FrameLoop::wants_frame() const {
  return needs_layout() || paint_dirty_ || waker_->pending() || root_.needs_idle_sync() ||
         root_.needs_animation_frame();
}

std::optional<Instant> FrameLoop::wake_at() const {
  return root_.next_wake_up();
}

// ---- the tree as it is now ----

void FrameLoop::refresh() {
  auto anchor = [&](tree::Path& path) {
    // The deepest part of a remembered path that is still in the tree.
    while (!path.empty()) {
      tree::Path now = tree::path_to(root_, path.back());
      if (!now.empty()) {
        path = std::move(now);
        return;
      }
      path.pop_back();
    }
  };
  auto shown = [](const tree::Path& path) {
    return std::none_of(path.begin(), path.end(), [](Widget* w) { return w->bounds().empty(); });
  };
  if (focused_) {
    tree::Path now = tree::path_to(root_, focused_);
    if (now.empty() || (layouts_ > 0 && !shown(now))) {
      // Gone, or hidden: keys go to what is left of its path.
      focused_ = nullptr;
      anchor(focus_path_);
    } else {
      focus_path_ = std::move(now);
    }
  } else {
    anchor(focus_path_);
  }
  if (focus_before_modal_ && tree::path_to(root_, focus_before_modal_).empty()) {
    focus_before_modal_ = nullptr;
  }
  if (capture_ && tree::path_to(root_, capture_).empty()) capture_ = nullptr;
  std::erase_if(hover_, [&](Widget* w) { return tree::path_to(root_, w).empty(); });
  refresh_modal();
}

bool FrameLoop::in_modal(const tree::Path& path) const {
  if (modal_path_.empty()) return true;
  Widget* modal = modal_path_.back();
  if (path.empty() || !tree::contains(path, modal)) return false;
  return path.back() == modal || tree::inside(path.back()->bounds(), *modal_rect_);
}

void FrameLoop::refresh_modal() {
  Widget* was = modal_path_.empty() ? nullptr : modal_path_.back();
  const std::optional<Rect> was_rect = modal_rect_;
  modal_path_ = tree::modal_path(root_);
  Widget* now = modal_path_.empty() ? nullptr : modal_path_.back();
  modal_rect_ = now ? now->modal_rect() : std::nullopt;
  if (now == was && modal_rect_ == was_rect) return;
  if (now) {
    if (focused_ && in_modal(focus_path_)) return;
    if (!was) focus_before_modal_ = focused_;
    const auto order = tree::focus_order(*now, modal_rect_);
    set_focus(order.empty() ? nullptr : order.front());
    return;
  }
  Widget* back = std::exchange(focus_before_modal_, nullptr);
  if (back) set_focus(back);
}

// ---- focus ----

bool FrameLoop::set_focus(Widget* widget, FocusReason reason) {
  if (widget == focused_) return true;
  tree::Path path;
  if (widget) {
    path = tree::path_to(root_, widget);
    if (path.empty()) return false;
    if (!in_modal(path)) return false;
  }
  Widget* old = focused_;
  focused_ = widget;
  focus_path_ = std::move(path);
  if (window_active_) {
    if (old && !tree::path_to(root_, old).empty()) send(*old, FocusOut{});
    if (widget) send(*widget, FocusIn{reason});
  }
  paint_dirty_ = true;
  return true;
}

bool FrameLoop::focus_next(bool backwards) {
  Widget& scope = modal_path_.empty() ? root_ : *modal_path_.back();
  const auto order = tree::focus_order(scope, modal_rect_);
  if (order.empty()) return false;
  const std::size_t n = order.size();
  const auto at = std::find(order.begin(), order.end(), focused_);
  std::size_t i = backwards ? n - 1 : 0;
  if (at != order.end()) {
    const auto k = static_cast<std::size_t>(at - order.begin());
    i = backwards ? (k + n - 1) % n : (k + 1) % n;
  }
  return set_focus(order[i], FocusReason::Tab);
}

void FrameLoop::set_window_active(bool active) {
  if (active == window_active_) return;
  window_active_ = active;
  if (!focused_) return;
  if (active) {
    send(*focused_, FocusIn{FocusReason::Other});
  } else {
    send(*focused_, FocusOut{});
  }
}

// ---- routing ----

tree::Path FrameLoop::key_path() const {
  if (focused_) return focus_path_;
  if (!modal_path_.empty()) return modal_path_;
  if (!focus_path_.empty()) return focus_path_;
  return {&root_};
}

tree::Path FrameLoop::pointer_path(Point p) const {
  tree::Path path;
  if (Widget* hit = root_.hit_test(p)) path = tree::path_to(root_, hit);
  if (path.empty()) path = {&root_};
  // Outside an open modal surface, the surface takes the pointer (a press on
  // its scrim closes it, say).
  if (!modal_path_.empty() && (!in_modal(path) || !modal_rect_->contains(p))) return modal_path_;
  return path;
}

void FrameLoop::update_hover(std::optional<Point> p) {
  std::erase_if(hover_, [&](Widget* w) { return tree::path_to(root_, w).empty(); });
  tree::Path next = p ? pointer_path(*p) : tree::Path{};
  if (next == hover_) return;
  std::size_t common = 0;
  while (common < hover_.size() && common < next.size() && hover_[common] == next[common]) {
    ++common;
  }
  tree::Path old = std::exchange(hover_, next);
  for (std::size_t i = old.size(); i-- > common;) send(*old[i], PointerLeave{});
  for (std::size_t i = common; i < next.size(); ++i) send(*next[i], PointerEnter{*p});
}

void FrameLoop::update_cursor() {
  Widget* w = capture_ ? capture_ : hovered();
  cursor_ = w && pointer_ ? w->cursor(*pointer_) : CursorShape::Arrow;
}

void FrameLoop::send(Widget& w, const Event& event) {
  EventContext ctx;
  ctx.target = &w;
  w.handle_event(event, ctx);
  if (ctx.request_layout) layout_dirty_ = true;
  paint_dirty_ = true;
}

EventResult FrameLoop::bubble(const tree::Path& path, const Event& event, EventContext& ctx,
                              Widget** focus_request) {
  ctx.target = path.empty() ? nullptr : path.back();
  for (std::size_t i = path.size(); i-- > 0;) {
    ctx.request_focus = false;
    const EventResult r = path[i]->handle_event(event, ctx);
    if (ctx.request_focus && *focus_request == nullptr) *focus_request = path[i];
    if (r == EventResult::Handled) return r;
  }
  return EventResult::Ignored;
}

EventResult FrameLoop::deliver(const tree::Path& path, const Event& event) {
  EventContext ctx;
  Widget* focus_request = nullptr;
  const EventResult r = bubble(path, event, ctx, &focus_request);
  if (ctx.request_layout) layout_dirty_ = true;
  if (r == EventResult::Handled || ctx.request_paint) paint_dirty_ = true;
  if (focus_request) {
    refresh();
    set_focus(focus_request, std::holds_alternative<PointerPress>(event) ? FocusReason::Pointer
                                                                         : FocusReason::Other);
  }
  return r;
}

EventResult FrameLoop::dispatch(const Event& event) {
  refresh();
  if (is_keyboard(event)) {
    EventResult r = deliver(key_path(), event);
    if (r == EventResult::Ignored && is_plain_tab(event)) {
      refresh();
      if (focus_next(std::get<KeyPress>(event).mods.shift)) r = EventResult::Handled;
    }
    return r;
  }
  if (std::holds_alternative<FocusIn>(event) || std::holds_alternative<FocusOut>(event)) {
    set_window_active(std::holds_alternative<FocusIn>(event));
    return EventResult::Handled;
  }
  if (std::holds_alternative<PointerLeave>(event)) {
    pointer_.reset();
    if (!capture_) update_hover(std::nullopt);
    update_cursor();
    return EventResult::Handled;
  }

  const Point pos = *event_position(event);
  pointer_ = pos;
  auto capture_path = [&] {
    tree::Path path = capture_ ? tree::path_to(root_, capture_) : tree::Path{};
    return path.empty() ? pointer_path(pos) : path;
  };
  EventResult result = EventResult::Ignored;
  if (const auto* press = std::get_if<PointerPress>(&event)) {
    if (!capture_) update_hover(pos);
    const tree::Path path = capture_path();
    if (!capture_) {
      capture_ = path.back();
      capture_button_ = press->button;
    }
    // A press on a focusable widget (or inside one) gives it focus.
    for (std::size_t i = path.size(); i-- > 0;) {
      if (path[i]->focusable()) {
        set_focus(path[i], FocusReason::Pointer);
        break;
      }
    }
    refresh();
    result = deliver(capture_path(), event);
  } else if (const auto* release = std::get_if<PointerRelease>(&event)) {
    result = deliver(capture_path(), event);
    if (release->button == capture_button_) capture_ = nullptr;
    refresh();
    if (!capture_) update_hover(pos);
  } else if (std::holds_alternative<PointerEnter>(event)) {
    if (!capture_) update_hover(pos);
    result = EventResult::Handled;
  } else if (std::holds_alternative<Wheel>(event)) {
    if (!capture_) update_hover(pos);
    const tree::Path path = capture_ || hover_.empty() ? capture_path() : hover_;
    result = deliver(path, event);
  } else {  // PointerMove
    if (capture_) {
      result = deliver(capture_path(), event);
    } else {
      update_hover(pos);
      const tree::Path path = hover_.empty() ? pointer_path(pos) : hover_;
      result = deliver(path, event);
    }
  }
  update_cursor();
  return result;
}

}  // namespace zarn_ui
