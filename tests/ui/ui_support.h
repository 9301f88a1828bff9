#pragma once
// Helpers for looking at rendered pixels.

#include <QImage>
#include <cstdlib>
#include <functional>

#include "zarn_ui/geometry.h"

namespace ui_support {

// Pixels of `image` inside `area` that are within `tolerance` of `colour` on each channel.
inline int count_near(const QImage& image, QRect area, zarn_ui::Color colour, int tolerance = 24) {
  int n = 0;
  area = area.intersected(image.rect());
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.r) <= tolerance && std::abs(c.green() - colour.g) <= tolerance &&
          std::abs(c.blue() - colour.b) <= tolerance) {
        ++n;
      }
    }
  }
  return n;
}

// Horizontal extent [first, last] of pixels brighter than `threshold` (text on a dark ground).
inline std::pair<int, int> inked_columns(const QImage& image, int threshold = 60) {
  int first = image.width(), last = -1;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qGray(image.pixel(x, y)) > threshold) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
    }
  }
  return {first, last};
}

}  // namespace ui_support
