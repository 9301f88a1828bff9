#include "zarn_ui/nav_shell.h"

#include <algorithm>

#include "zarn_ui/painter.h"
#include "zarn_ui/surfaces.h"

namespace zarn_ui {

NavShell::NavShell(WidgetBox list, WidgetBox detail, Theme theme)
    : list_(std::move(list)), detail_(std::move(detail)), theme_(theme) {}

NavShell& NavShell::with_sidebar(WidgetBox sidebar) {
  sidebar_ = std::move(sidebar);
  return *this;
}

bool NavShell::sidebar_visible() const {
  return sidebar_rect_.has_value() || drawer_rect_.has_value();
}
std::optional<Rect> NavShell::sidebar_rect() const {
  return sidebar_rect_ ? sidebar_rect_ : drawer_rect_;
}
std::optional<Rect> NavShell::list_rect() const {
  return list_rect_;
}
std::optional<Rect> NavShell::detail_rect() const {
  return detail_rect_;
}
std::optional<Rect> NavShell::drawer_rect() const {
  return drawer_rect_;
}

void NavShell::sync(SyncContext& ctx) {
  for (Widget* w : {sidebar_.get(), list_.get(), detail_.get()}) {
    if (w) w->sync(ctx);
  }
}

bool NavShell::build_layout(LayoutContext& ctx) {
  bool ok = true;
  for (Widget* w : {sidebar_.get(), list_.get(), detail_.get()}) {
    if (w) ok = w->build_layout(ctx) && ok;
  }
  return ok;
}

void NavShell::apply_layout(const Rect& bounds, LayoutContext& ctx) {
  bounds_ = bounds;
  narrow_ = collapse_width_ > bounds.width();
  sidebar_rect_.reset();
  list_rect_.reset();
  detail_rect_.reset();
  drawer_rect_.reset();
  const bool sidebar_wanted = sidebar_ && (sidebar_mode_ == SidebarMode::Shown ||
                                           (sidebar_mode_ == SidebarMode::Auto && !narrow_));
  if (!narrow_) {
    drawer_open_ = false;
    float x = bounds.left;
    if (sidebar_wanted) {
      sidebar_rect_ = Rect{x, bounds.top, x + sidebar_width_, bounds.bottom};
      x += sidebar_width_;
    }
    if (detail_) {
      list_rect_ = Rect{x, bounds.top, std::min(x + list_width_, bounds.right), bounds.bottom};
      detail_rect_ = Rect{list_rect_->right, bounds.top, bounds.right, bounds.bottom};
    } else {
      list_rect_ = Rect{x, bounds.top, bounds.right, bounds.bottom};
    }
  } else {
    if (snapped_ && detail_) {
      detail_rect_ = bounds;
    } else {
      list_rect_ = bounds;
    }
    if (sidebar_ && drawer_open_) {
      const float w =
          std::min(std::max(sidebar_width_, bounds.width() * 0.5f), bounds.width() * 0.86f);
      drawer_rect_ = Rect{bounds.left, bounds.top, bounds.left + w, bounds.bottom};
    }
  }
  if (sidebar_) {
    auto r = sidebar_rect_ ? sidebar_rect_ : drawer_rect_;
    sidebar_->apply_layout(r.value_or(Rect{}), ctx);
  }
  if (list_) list_->apply_layout(list_rect_.value_or(Rect{}), ctx);
  if (detail_) detail_->apply_layout(detail_rect_.value_or(Rect{}), ctx);
}

std::vector<NavShell::Column> NavShell::visible_columns() const {
  std::vector<Column> out;
  if (sidebar_rect_) out.push_back({sidebar_.get(), *sidebar_rect_});
  if (list_rect_) out.push_back({list_.get(), *list_rect_});
  if (detail_rect_) out.push_back({detail_.get(), *detail_rect_});
  return out;
}

void NavShell::draw_with_presence(DrawContext& ctx) {
  Painter& p = ctx.painter;
  p.fill_rect(bounds_, theme_.colors.window);
  for (const Column& c : visible_columns()) {
    p.save();
    p.clip(c.rect);
    c.widget->draw(ctx);
    p.restore();
  }
  if (sidebar_rect_) {
    surface::separator(p, {sidebar_rect_->right - 0.5f, bounds_.top},
                       {sidebar_rect_->right - 0.5f, bounds_.bottom}, theme_);
  }
  if (list_rect_ && detail_rect_) {
    surface::separator(p, {list_rect_->right - 0.5f, bounds_.top},
                       {list_rect_->right - 0.5f, bounds_.bottom}, theme_);
  }
  if (drawer_rect_) {
    p.fill_rect(bounds_, theme_.colors.scrim);
    surface::shadow(p, *drawer_rect_, 0, theme_, 14);
    p.save();
    p.clip(*drawer_rect_);
    sidebar_->draw(ctx);
    p.restore();
  }
}

Widget* NavShell::hit_test(Point pt) {
  if (drawer_rect_) return drawer_rect_->contains(pt) ? sidebar_->hit_test(pt) : this;
  for (const Column& c : visible_columns()) {
    if (c.rect.contains(pt)) return c.widget->hit_test(pt);
  }
  return nullptr;
}

EventResult NavShell::handle_event(const Event& event, EventContext& ctx) {
  // The columns get their input from the frame loop; the shell answers only
  // for its drawer: a press on the scrim or Escape closes it.
  if (!drawer_rect_) return EventResult::Ignored;
  const auto* press = std::get_if<PointerPress>(&event);
  const auto* key = std::get_if<KeyPress>(&event);
  const bool closes = (press && !drawer_rect_->contains(press->pos)) ||
                      (key && key->key == Key::Escape && !key->mods.any());
  if (!closes) return EventResult::Ignored;
  drawer_open_ = false;
  ctx.request_layout = true;
  return EventResult::Handled;
}

std::size_t NavShell::child_count() const {
  return (sidebar_ ? 1 : 0) + (list_ ? 1 : 0) + (detail_ ? 1 : 0);
}

Widget* NavShell::child_at(std::size_t index) {
  for (Widget* w : {sidebar_.get(), list_.get(), detail_.get()}) {
    if (!w) continue;
    if (index == 0) return w;
    --index;
  }
  return nullptr;
}

bool NavShell::needs_idle_sync() const {
  for (Widget* w : {sidebar_.get(), list_.get(), detail_.get()}) {
    if (w && w->needs_idle_sync()) return true;
  }
  return false;
}

bool NavShell::needs_animation_frame() const {
  for (Widget* w : {sidebar_.get(), list_.get(), detail_.get()}) {
    if (w && w->needs_animation_frame()) return true;
  }
  return false;
}

}  // namespace zarn_ui
