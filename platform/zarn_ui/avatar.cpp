#include "zarn_ui/avatar.h"

#include <cmath>

#include "zarn_ui/painter.h"
#include "zarn_ui/text.h"

namespace zarn_ui {

void draw_avatar(Painter& painter, Point centre, float radius, const AvatarLook& look,
                 const std::optional<Image>& picture) {
  if (radius <= 0) return;
  const Rect circle{centre.x - radius, centre.y - radius, centre.x + radius, centre.y + radius};
  if (picture && picture->width() > 0 && picture->height() > 0) {
    painter.draw_image(*picture, circle, {.fit = ImageFit::Cover, .radius = radius});
    return;
  }
  painter.fill_ellipse(circle, look.background);
  const std::string initials = look.initials.empty() ? "?" : look.initials;
  const TextStyle style{.size = radius * 0.8f, .weight = 2, .color = look.foreground};
  TextRenderer& text = painter.text();
  const float width = text.measure(initials, style);
  const float height = text.line_height(style);
  text.draw(painter, initials, {centre.x - width / 2, centre.y - height / 2}, style);
}

void draw_avatar(Painter& painter, Point centre, float radius, const AvatarLook& look,
                 ImageSource* images) {
  std::optional<Image> picture;
  if (images && !look.picture_url.empty()) picture = images->get(look.picture_url);
  draw_avatar(painter, centre, radius, look, picture);
}

Avatar::Avatar(std::shared_ptr<ImageSource> images, AvatarLook look)
    : images_(std::move(images)), look_(std::move(look)) {}

void Avatar::apply_layout(const Rect& bounds, LayoutContext&) {
  bounds_ = bounds;
}

void Avatar::draw_with_presence(DrawContext& ctx) {
  const float radius = std::min(bounds_.width(), bounds_.height()) / 2;
  draw_avatar(ctx.painter, bounds_.center(), radius, look_, images_.get());
}

Widget* Avatar::hit_test(Point p) {
  const float radius = std::min(bounds_.width(), bounds_.height()) / 2;
  const Point c = bounds_.center();
  return std::hypot(p.x - c.x, p.y - c.y) <= radius ? this : nullptr;
}

AccessNode Avatar::accessibility() const {
  AccessNode node(AccessRole::Text, label_.empty() ? look_.initials : label_);
  node.bounds = bounds_;
  return node;
}

}  // namespace zarn_ui
