#pragma once
// Drawing surface handed to widgets. Everything is in logical points; the host
// maps them to device pixels.

#include <vector>

#include "zarn_ui/geometry.h"
#include "zarn_ui/image.h"

namespace zarn_ui {

class TextRenderer;

// A vector outline: move, line, quadratic and cubic segments, close.
class Path {
 public:
  enum class Op { Move, Line, Quad, Cubic, Close };
  struct Segment {
    Op op;
    Point p[3];
  };
  Path& move_to(Point p) { return add({Op::Move, {p, {}, {}}}); }
  Path& line_to(Point p) { return add({Op::Line, {p, {}, {}}}); }
  Path& quad_to(Point c, Point p) { return add({Op::Quad, {c, p, {}}}); }
  Path& cubic_to(Point c1, Point c2, Point p) { return add({Op::Cubic, {c1, c2, p}}); }
  Path& close() { return add({Op::Close, {}}); }
  // A circle approximated with four cubic segments.
  Path& circle(Point c, float r);
  Path& rounded_rect(const Rect& r, float radius);
  const std::vector<Segment>& segments() const { return segments_; }

 private:
  Path& add(Segment s) {
    segments_.push_back(s);
    return *this;
  }
  std::vector<Segment> segments_;
};

enum class LineCap { Butt, Round };

// How a picture fills the rectangle it is drawn into.
enum class ImageFit {
  Stretch,  // exactly the rectangle; proportions are not kept
  Cover,    // proportions kept, the rectangle filled, the overflow cut off evenly
  Contain,  // proportions kept, the whole picture inside the rectangle, centred
};

struct ImageStyle {
  ImageFit fit = ImageFit::Cover;
  float radius = 0;  // corner radius; half the shorter side gives a circle or a pill
  float opacity = 1;
};

// Which part of a picture of `picture` size goes where when drawn into `dest`:
// `source` in picture pixels, `target` in points (inside `dest`).
struct ImagePlacement {
  Rect source;
  Rect target;
};
ImagePlacement place_image(Size picture, const Rect& dest, ImageFit fit);

class Painter {
 public:
  virtual ~Painter() = default;

  virtual void fill_rect(const Rect& r, Color c) = 0;
  virtual void fill_rounded_rect(const Rect& r, float radius, Color c) = 0;
  virtual void stroke_rounded_rect(const Rect& r, float radius, Color c, float width) = 0;
  virtual void fill_ellipse(const Rect& r, Color c) = 0;
  virtual void stroke_ellipse(const Rect& r, Color c, float width) = 0;
  virtual void line(Point a, Point b, Color c, float width, LineCap cap = LineCap::Round) = 0;
  virtual void fill_path(const Path& p, Color c) = 0;
  virtual void stroke_path(const Path& p, Color c, float width, LineCap cap = LineCap::Round) = 0;
  // Vertical gradient fill, used for soft shadows and scrims.
  virtual void fill_rounded_rect_gradient(const Rect& r, float radius, Color top, Color bottom) = 0;
  // Draws a picture scaled into `dest` (see ImageFit), its corners rounded,
  // within the current clip. An empty picture draws nothing.
  virtual void draw_image(const Image& image, const Rect& dest, const ImageStyle& style) = 0;

  virtual void save() = 0;
  virtual void restore() = 0;
  virtual void clip(const Rect& r) = 0;  // intersects the current clip, until restore()
  virtual void translate(float dx, float dy) = 0;

  virtual TextRenderer& text() = 0;
};

}  // namespace zarn_ui
