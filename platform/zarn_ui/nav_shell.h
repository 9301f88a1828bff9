#pragma once
// Navigation shell: a sidebar, a list and a detail column side by side in a
// wide window; below the collapse width one column at a time (list, or detail
// once snapped to it) with the sidebar as an overlay drawer.

#include <optional>

#include "zarn_ui/theme.h"
#include "zarn_ui/widget.h"

namespace zarn_ui {

class NavShell : public Widget {
 public:
  enum class SidebarMode { Shown, Hidden, Auto };

  NavShell(WidgetBox list, WidgetBox detail, Theme theme);
  NavShell& with_sidebar(WidgetBox sidebar);

  void set_collapse_width(float width) { collapse_width_ = width; }
  float collapse_width() const { return collapse_width_; }
  // Widths of the sidebar and the list column in the wide layout.
  void set_sidebar_width(float width) { sidebar_width_ = width; }
  void set_list_width(float width) { list_width_ = width; }
  void set_sidebar_mode(SidebarMode mode) { sidebar_mode_ = mode; }
  SidebarMode sidebar_mode() const { return sidebar_mode_; }
  bool allows_sidebar() const { return sidebar_ != nullptr; }

  bool has_detail() const { return detail_ != nullptr; }
  void snap() { snapped_ = true; }
  void unsnap() { snapped_ = false; }
  bool snapped() const { return snapped_; }
  void snap_sidebar() { drawer_open_ = true; }
  void close_drawer() { drawer_open_ = false; }
  bool drawer_open() const { return drawer_open_; }

  // Published by the last layout.
  bool narrow() const { return narrow_; }
  bool sidebar_visible() const;
  std::optional<Rect> sidebar_rect() const;
  std::optional<Rect> list_rect() const;
  std::optional<Rect> detail_rect() const;
  std::optional<Rect> drawer_rect() const;

  Widget* sidebar() { return sidebar_.get(); }
  Widget* list() { return list_.get(); }
  Widget* detail() { return detail_.get(); }

  std::string_view type_name() const override { return "zarn_ui::NavShell"; }
  void sync(SyncContext& ctx) override;
  bool build_layout(LayoutContext& ctx) override;
  void apply_layout(const Rect& bounds, LayoutContext& ctx) override;
  void draw_with_presence(DrawContext& ctx) override;
  EventResult handle_event(const Event& event, EventContext& ctx) override;
  Rect bounds() const override { return bounds_; }
  Widget* hit_test(Point p) override;
  // The open drawer takes all input, as a modal surface.
  std::optional<Rect> modal_rect() const override { return drawer_rect_; }
  std::size_t child_count() const override;
  Widget* child_at(std::size_t index) override;
  bool needs_idle_sync() const override;
  bool needs_animation_frame() const override;

 private:
  struct Column {
    Widget* widget;
    Rect rect;
  };
  std::vector<Column> visible_columns() const;

  WidgetBox sidebar_, list_, detail_;
  Theme theme_;
  float collapse_width_ = 860, sidebar_width_ = 260, list_width_ = 340;
  SidebarMode sidebar_mode_ = SidebarMode::Auto;
  bool snapped_ = false, drawer_open_ = false, narrow_ = false;
  Rect bounds_{};
  std::optional<Rect> sidebar_rect_, list_rect_, detail_rect_, drawer_rect_;
};

}  // namespace zarn_ui
