#pragma once
// A person's round picture: the picture when the image source has it, else
// their initials on a colour. Fetching is the source's business; a missing,
// failed or refused picture simply keeps the initials.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "zarn_ui/image.h"
#include "zarn_ui/widget.h"

namespace zarn_ui {

class Painter;

struct AvatarLook {
  std::string picture_url;  // empty: initials only
  std::string initials;     // "?" when empty
  Color background;
  Color foreground = Color::hex(0xffffff);
};

// Draws the avatar as a circle of `radius` around `centre`: `picture` (when it
// has a size) scaled to cover the circle and clipped to it, else the initials
// on the background colour.
void draw_avatar(Painter& painter, Point centre, float radius, const AvatarLook& look,
                 const std::optional<Image>& picture);

// Looks the picture up in `images` (when given) and draws.
void draw_avatar(Painter& painter, Point centre, float radius, const AvatarLook& look,
                 ImageSource* images);

class Avatar : public Widget {
 public:
  // `images` may be null (initials only); it must outlive the widget.
  Avatar(std::shared_ptr<ImageSource> images, AvatarLook look);

  void set_look(AvatarLook look) { look_ = std::move(look); }
  const AvatarLook& look() const { return look_; }
  // What assistive technologies read, for example the person's name.
  void set_label(std::string label) { label_ = std::move(label); }

  std::string_view type_name() const override { return "zarn_ui::Avatar"; }
  // The circle is the largest that fits the bounds, centred in them.
  void apply_layout(const Rect& bounds, LayoutContext& ctx) override;
  void draw_with_presence(DrawContext& ctx) override;
  Rect bounds() const override { return bounds_; }
  Widget* hit_test(Point p) override;
  AccessNode accessibility() const override;

 private:
  std::shared_ptr<ImageSource> images_;
  AvatarLook look_;
  std::string label_;
  Rect bounds_{};
};

}  // namespace zarn_ui
