#pragma once
// Points, sizes, rectangles and colours in logical points.

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace zarn_ui {

using Clock = std::chrono::steady_clock;
using Instant = Clock::time_point;

struct Point {
  float x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  float width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  float left = 0, top = 0, right = 0, bottom = 0;

  static Rect xywh(float x, float y, float w, float h) { return {x, y, x + w, y + h}; }
  float width() const { return right - left; }
  float height() const { return bottom - top; }
  Point center() const { return {(left + right) / 2, (top + bottom) / 2}; }
  bool empty() const { return right <= left || bottom <= top; }
  bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  Rect inset(float d) const { return {left + d, top + d, right - d, bottom - d}; }
  Rect inset(float dx, float dy) const { return {left + dx, top + dy, right - dx, bottom - dy}; }
  Rect translated(float dx, float dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  Rect intersected(const Rect& o) const {
    return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
            std::min(bottom, o.bottom)};
  }
  bool operator==(const Rect&) const = default;
};

struct Color {
  std::uint8_t r = 0, g = 0, b = 0, a = 255;

  static constexpr Color hex(std::uint32_t rgb, std::uint8_t alpha = 255) {
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
            static_cast<std::uint8_t>(rgb), alpha};
  }
  constexpr Color with_alpha(float factor) const {
    return {r, g, b, static_cast<std::uint8_t>(std::clamp(a * factor, 0.0f, 255.0f))};
  }
  bool operator==(const Color&) const = default;
};

}  // namespace zarn_ui
