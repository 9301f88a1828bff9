#pragma once
// A painter that records the shapes and pictures it is asked to draw.

#include <string>
#include <vector>

#include "support/fake_text.h"
#include "zarn_ui/painter.h"

namespace testing_support {

class RecordingPainter : public zarn_ui::Painter {
 public:
  struct Picture {
    zarn_ui::Image image;
    zarn_ui::Rect dest;
    zarn_ui::ImageStyle style;
  };
  struct Ellipse {
    zarn_ui::Rect rect;
    zarn_ui::Color colour;
  };

  void fill_rect(const zarn_ui::Rect&, zarn_ui::Color) override {}
  void fill_rounded_rect(const zarn_ui::Rect&, float, zarn_ui::Color) override {}
  void stroke_rounded_rect(const zarn_ui::Rect&, float, zarn_ui::Color, float) override {}
  void fill_ellipse(const zarn_ui::Rect& r, zarn_ui::Color c) override {
    ellipses.push_back({r, c});
  }
  void stroke_ellipse(const zarn_ui::Rect&, zarn_ui::Color, float) override {}
  void line(zarn_ui::Point, zarn_ui::Point, zarn_ui::Color, float, zarn_ui::LineCap) override {}
  void fill_path(const zarn_ui::Path&, zarn_ui::Color) override {}
  void stroke_path(const zarn_ui::Path&, zarn_ui::Color, float, zarn_ui::LineCap) override {}
  void fill_rounded_rect_gradient(const zarn_ui::Rect&, float, zarn_ui::Color,
                                  zarn_ui::Color) override {}
  void draw_image(const zarn_ui::Image& image, const zarn_ui::Rect& dest,
                  const zarn_ui::ImageStyle& style) override {
    pictures.push_back({image, dest, style});
  }
  void save() override {}
  void restore() override {}
  void clip(const zarn_ui::Rect&) override {}
  void translate(float, float) override {}
  zarn_ui::TextRenderer& text() override { return text_; }

  const std::vector<std::string>& texts() const { return text_.drawn; }

  std::vector<Picture> pictures;
  std::vector<Ellipse> ellipses;

 private:
  FakeText text_;
};

}  // namespace testing_support
