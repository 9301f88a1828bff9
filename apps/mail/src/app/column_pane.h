#pragma once
// One of the shell's three columns (0 folders, 1 message list, 2 reader). It
// paints its column's surface; the columns' content is drawn over it.

#include "app/mail_view.h"
#include "zarn_ui/theme.h"
#include "zarn_ui/widget.h"

namespace mail {

class ColumnPane : public zarn_ui::Widget {
 public:
  enum class Role { Sidebar = 0, List = 1, Reader = 2 };
  ColumnPane(Role role, SharedView view, zarn_ui::Theme theme);

  Role role() const { return role_; }
  std::string_view type_name() const override { return "mail::pane::Pane"; }
  void apply_layout(const zarn_ui::Rect& bounds, zarn_ui::LayoutContext& ctx) override;
  void draw_with_presence(zarn_ui::DrawContext& ctx) override;
  zarn_ui::Rect bounds() const override { return bounds_; }
  zarn_ui::Widget* hit_test(zarn_ui::Point p) override { return bounds_.contains(p) ? this : nullptr; }

 private:
  Role role_;
  SharedView view_;
  zarn_ui::Theme theme_;
  zarn_ui::Rect bounds_{};
};

}  // namespace mail
