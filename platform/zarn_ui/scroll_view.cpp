#include "zarn_ui/scroll_view.h"

#include <algorithm>
#include <cmath>

#include "zarn_ui/painter.h"

namespace zarn_ui {

namespace {
constexpr float kMinThumb = 24;
}

ScrollView::ScrollView(std::unique_ptr<RowSource> rows, float row_height, Theme theme)
    : rows_(std::move(rows)), row_height_(std::max(row_height, 1.0f)), theme_(theme) {}

float ScrollView::content_height() const {
  return static_cast<float>(rows_->row_count()) * row_height_;
}

float ScrollView::max_offset() const {
  return std::max(0.0f, content_height() - bounds_.height());
}

bool ScrollView::scroll_to(float offset) {
  const float clamped = std::clamp(offset, 0.0f, max_offset());
  if (clamped == offset_) return false;
  offset_ = clamped;
  moved_ = true;
  return true;
}

bool ScrollView::scroll_into_view(const Rect& rect) {
  const float view = bounds_.height();
  if (rect.top < offset_ || rect.height() > view) return scroll_to(rect.top);
  if (rect.bottom > offset_ + view) return scroll_to(rect.bottom - view);
  return false;
}

bool ScrollView::scroll_row_into_view(std::size_t index) {
  const float top = static_cast<float>(index) * row_height_;
  return scroll_into_view(Rect{0, top, bounds_.width(), top + row_height_});
}

Widget* ScrollView::row_widget(std::size_t index) {
  if (index < first_ || index >= last_row()) return nullptr;
  return shown_[index - first_].get();
}

void ScrollView::reload() {
  shown_.clear();
  moved_ = true;
}

void ScrollView::sync(SyncContext& ctx) {
  for (auto& row : shown_) row->sync(ctx);
}

bool ScrollView::build_layout(LayoutContext& ctx) {
  bool ok = true;
  for (auto& row : shown_) ok = row->build_layout(ctx) && ok;
  return ok;
}

void ScrollView::apply_layout(const Rect& bounds, LayoutContext& ctx) {
  bounds_ = bounds;
  offset_ = std::clamp(offset_, 0.0f, max_offset());
  moved_ = false;
  const std::size_t count = rows_->row_count();
  std::size_t first = 0, last = 0;
  if (count > 0 && !bounds.empty()) {
    first = std::min(count - 1, static_cast<std::size_t>(offset_ / row_height_));
    const float bottom = offset_ + bounds.height();
    last = std::min(count, static_cast<std::size_t>(std::ceil(bottom / row_height_)));
    last = std::max(last, first + 1);
  }
  // Keep the rows that stay on screen, make the ones that come into view.
  std::vector<WidgetBox> next;
  next.reserve(last - first);
  for (std::size_t i = first; i < last; ++i) {
    WidgetBox row;
    if (i >= first_ && i < last_row()) row = std::move(shown_[i - first_]);
    if (!row) {
      row = rows_->make_row(i);
      if (row) row->build_layout(ctx);
    }
    next.push_back(std::move(row));
  }
  shown_ = std::move(next);
  first_ = first;
  for (std::size_t i = 0; i < shown_.size(); ++i) {
    if (!shown_[i]) continue;
    const float top = bounds.top + static_cast<float>(first_ + i) * row_height_ - offset_;
    shown_[i]->apply_layout(Rect{bounds.left, top, bounds.right, top + row_height_}, ctx);
  }
}

void ScrollView::draw_with_presence(DrawContext& ctx) {
  Painter& p = ctx.painter;
  p.save();
  p.clip(bounds_);
  for (auto& row : shown_) {
    if (row) row->draw(ctx);
  }
  p.restore();
  if (auto thumb = thumb_rect()) {
    const bool active = bar_hovered_ || drag_grab_.has_value();
    const Rect bar{thumb->left + 2, thumb->top, thumb->right - 2, thumb->bottom};
    p.fill_rounded_rect(bar, (bar.width()) / 2,
                        theme_.colors.text_muted.with_alpha(active ? 0.7f : 0.35f));
  }
}

Rect ScrollView::track_rect() const {
  return Rect{bounds_.right - kBarWidth, bounds_.top, bounds_.right, bounds_.bottom};
}

std::optional<Rect> ScrollView::thumb_rect() const {
  const float content = content_height();
  const float view = bounds_.height();
  if (content <= view || view <= 0) return std::nullopt;
  const Rect track = track_rect();
  const float length = std::max(kMinThumb, view * view / content);
  const float travel = track.height() - length;
  const float top = track.top + (max_offset() > 0 ? offset_ / max_offset() * travel : 0);
  return Rect{track.left, top, track.right, top + length};
}

Widget* ScrollView::hit_test(Point p) {
  if (!bounds_.contains(p)) return nullptr;
  if (thumb_rect() && track_rect().contains(p)) return this;
  const float y = p.y - bounds_.top + offset_;
  if (y >= 0) {
    const auto index = static_cast<std::size_t>(y / row_height_);
    if (Widget* row = row_widget(index)) {
      if (Widget* hit = row->hit_test(p)) return hit;
    }
  }
  return this;
}

Widget* ScrollView::child_at(std::size_t index) {
  return index < shown_.size() ? shown_[index].get() : nullptr;
}

bool ScrollView::page(float direction) {
  const float step = std::max(bounds_.height() - kLine, kLine);
  return scroll_by(direction * step);
}

EventResult ScrollView::handle_event(const Event& event, EventContext& ctx) {
  bool moved = false;
  bool handled = false;
  if (const auto* wheel = std::get_if<Wheel>(&event)) {
    const float dy = wheel->unit == Wheel::Unit::Lines ? wheel->dy * kLine : wheel->dy;
    moved = scroll_by(dy);
    handled = moved;
  } else if (const auto* key = std::get_if<KeyPress>(&event)) {
    if (!key->mods.ctrl && !key->mods.alt && !key->mods.command) {
      switch (key->key) {
        case Key::PageDown:
          moved = page(1);
          handled = true;
          break;
        case Key::PageUp:
          moved = page(-1);
          handled = true;
          break;
        case Key::Home:
          moved = scroll_to(0);
          handled = true;
          break;
        case Key::End:
          moved = scroll_to(max_offset());
          handled = true;
          break;
        case Key::Down:
          moved = scroll_by(kLine);
          handled = moved;
          break;
        case Key::Up:
          moved = scroll_by(-kLine);
          handled = moved;
          break;
        default:
          break;
      }
    }
  } else if (const auto* press = std::get_if<PointerPress>(&event)) {
    auto thumb = thumb_rect();
    if (thumb && press->button == PointerButton::Left && track_rect().contains(press->pos)) {
      handled = true;
      if (thumb->contains(press->pos)) {
        drag_grab_ = press->pos.y - thumb->top;
        ctx.request_paint = true;
      } else {
        moved = page(press->pos.y < thumb->top ? -1 : 1);
      }
    }
  } else if (const auto* move = std::get_if<PointerMove>(&event)) {
    const bool over = thumb_rect() && track_rect().contains(move->pos);
    if (over != bar_hovered_) {
      bar_hovered_ = over;
      ctx.request_paint = true;
    }
    if (drag_grab_) {
      auto thumb = thumb_rect();
      const Rect track = track_rect();
      const float travel = track.height() - thumb->height();
      const float top = move->pos.y - *drag_grab_ - track.top;
      moved = scroll_to(travel > 0 ? top / travel * max_offset() : 0);
      handled = true;
    }
  } else if (std::holds_alternative<PointerRelease>(event)) {
    if (drag_grab_) {
      drag_grab_.reset();
      handled = true;
      ctx.request_paint = true;
    }
  } else if (std::holds_alternative<PointerLeave>(event)) {
    if (bar_hovered_) ctx.request_paint = true;
    bar_hovered_ = false;
  }
  if (moved) ctx.request_layout = true;
  return handled ? EventResult::Handled : EventResult::Ignored;
}

bool ScrollView::needs_another_frame() const {
  if (moved_) return true;
  return std::any_of(shown_.begin(), shown_.end(),
                     [](const WidgetBox& r) { return r && r->needs_another_frame(); });
}

void ScrollView::frame_finished() {
  for (auto& row : shown_) {
    if (row) row->frame_finished();
  }
}

bool ScrollView::needs_idle_sync() const {
  return std::any_of(shown_.begin(), shown_.end(),
                     [](const WidgetBox& r) { return r && r->needs_idle_sync(); });
}

bool ScrollView::needs_animation_frame() const {
  return std::any_of(shown_.begin(), shown_.end(),
                     [](const WidgetBox& r) { return r && r->needs_animation_frame(); });
}

std::optional<Instant> ScrollView::next_wake_up() const {
  std::optional<Instant> at;
  for (const auto& row : shown_) {
    if (!row) continue;
    if (auto t = row->next_wake_up(); t && (!at || *t < *at)) at = t;
  }
  return at;
}

}  // namespace zarn_ui
