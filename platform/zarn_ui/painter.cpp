#include "zarn_ui/painter.h"

#include <algorithm>

namespace zarn_ui {

namespace {
constexpr float kappa = 0.5522847f;  // cubic approximation of a quarter circle
}

Path& Path::circle(Point c, float r) {
  const float k = r * kappa;
  move_to({c.x + r, c.y});
  cubic_to({c.x + r, c.y + k}, {c.x + k, c.y + r}, {c.x, c.y + r});
  cubic_to({c.x - k, c.y + r}, {c.x - r, c.y + k}, {c.x - r, c.y});
  cubic_to({c.x - r, c.y - k}, {c.x - k, c.y - r}, {c.x, c.y - r});
  cubic_to({c.x + k, c.y - r}, {c.x + r, c.y - k}, {c.x + r, c.y});
  return close();
}

Path& Path::rounded_rect(const Rect& r, float radius) {
  const float rad = std::clamp(radius, 0.0f, std::min(r.width(), r.height()) / 2);
  const float k = rad * kappa;
  move_to({r.left + rad, r.top});
  line_to({r.right - rad, r.top});
  cubic_to({r.right - rad + k, r.top}, {r.right, r.top + rad - k}, {r.right, r.top + rad});
  line_to({r.right, r.bottom - rad});
  cubic_to({r.right, r.bottom - rad + k}, {r.right - rad + k, r.bottom}, {r.right - rad, r.bottom});
  line_to({r.left + rad, r.bottom});
  cubic_to({r.left + rad - k, r.bottom}, {r.left, r.bottom - rad + k}, {r.left, r.bottom - rad});
  line_to({r.left, r.top + rad});
  cubic_to({r.left, r.top + rad - k}, {r.left + rad - k, r.top}, {r.left + rad, r.top});
  return close();
}

ImagePlacement place_image(Size picture, const Rect& dest, ImageFit fit) {
  const Rect whole{0, 0, picture.width, picture.height};
  if (picture.width <= 0 || picture.height <= 0 || dest.empty()) return {whole, {}};
  switch (fit) {
    case ImageFit::Stretch:
      return {whole, dest};
    case ImageFit::Cover: {
      const float scale = std::max(dest.width() / picture.width, dest.height() / picture.height);
      const float w = dest.width() / scale, h = dest.height() / scale;
      const float x = (picture.width - w) / 2, y = (picture.height - h) / 2;
      return {Rect::xywh(x, y, w, h), dest};
    }
    case ImageFit::Contain: {
      const float scale = std::min(dest.width() / picture.width, dest.height() / picture.height);
      const float w = picture.width * scale, h = picture.height * scale;
      const Point c = dest.center();
      return {whole, Rect::xywh(c.x - w / 2, c.y - h / 2, w, h)};
    }
  }
  return {whole, dest};
}

}  // namespace zarn_ui
