#include "app/column_pane.h"

#include "zarn_ui/painter.h"

namespace mail {

ColumnPane::ColumnPane(Role role, SharedView view, zarn_ui::Theme theme)
    : role_(role), view_(std::move(view)), theme_(theme) {}

void ColumnPane::apply_layout(const zarn_ui::Rect& bounds, zarn_ui::LayoutContext&) {
  bounds_ = bounds;
}

void ColumnPane::draw_with_presence(zarn_ui::DrawContext& ctx) {
  const auto& c = theme_.colors;
  ctx.painter.fill_rect(bounds_, role_ == Role::Sidebar ? c.sidebar : c.surface);
}

}  // namespace mail
