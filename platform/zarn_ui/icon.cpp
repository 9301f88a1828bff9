#include "zarn_ui/icon.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "zarn_ui/painter.h"

namespace zarn_ui {
namespace {

// Glyphs are designed on a 24 × 24 grid with 1.7-unit strokes.
struct Glyph {
  Painter& p;
  float ox, oy, s;
  Color c;

  Point at(float x, float y) const { return {ox + x * s, oy + y * s}; }
  float w() const { return 1.7f * s; }
  void line(float x1, float y1, float x2, float y2) const { p.line(at(x1, y1), at(x2, y2), c, w()); }
  void poly(std::initializer_list<Point> pts, bool closed = false, bool fill = false) const {
    Path path;
    bool first = true;
    for (Point q : pts) {
      if (first) path.move_to(at(q.x, q.y)); else path.line_to(at(q.x, q.y));
      first = false;
    }
    if (closed) path.close();
    if (fill) p.fill_path(path, c); else p.stroke_path(path, c, w());
  }
  void rect(float x, float y, float rw, float rh, float r) const {
    p.stroke_rounded_rect(Rect::xywh(ox + x * s, oy + y * s, rw * s, rh * s), r * s, c, w());
  }
  void fill_rect(float x, float y, float rw, float rh, float r) const {
    p.fill_rounded_rect(Rect::xywh(ox + x * s, oy + y * s, rw * s, rh * s), r * s, c);
  }
  void circle(float cx, float cy, float r, bool fill = false) const {
    Rect box{ox + (cx - r) * s, oy + (cy - r) * s, ox + (cx + r) * s, oy + (cy + r) * s};
    if (fill) p.fill_ellipse(box, c); else p.stroke_ellipse(box, c, w());
  }
  void star(bool fill) const {
    Path path;
    for (int i = 0; i < 10; ++i) {
      const float angle = -1.5707963f + i * 0.62831853f;
      const float r = (i % 2 == 0) ? 9.5f : 4.2f;
      Point q = at(12 + r * std::cos(angle), 12.6f + r * std::sin(angle));
      if (i == 0) path.move_to(q); else path.line_to(q);
    }
    path.close();
    if (fill) p.fill_path(path, c); else p.stroke_path(path, c, w());
  }
  void page() const {  // a sheet with a folded corner
    poly({{6, 3}, {14, 3}, {19, 8}, {19, 21}, {6, 21}}, true);
    poly({{14, 3}, {14, 8}, {19, 8}});
  }
  void tray() const {  // the inbox tray outline
    poly({{3, 13}, {8, 13}, {9.5f, 16}, {14.5f, 16}, {16, 13}, {21, 13}});
    poly({{3, 13}, {5.5f, 5}, {18.5f, 5}, {21, 13}, {21, 19}, {3, 19}}, true);
  }
};

}  // namespace

void Icon::draw(Painter& painter, IconKind kind, const Rect& box, Color color) {
  const float side = std::min(box.width(), box.height());
  const float s = side / 24.0f;
  Glyph g{painter, box.left + (box.width() - side) / 2, box.top + (box.height() - side) / 2, s, color};
  switch (kind) {
    case IconKind::Compose:
      g.poly({{4, 20}, {4.8f, 16}, {15.5f, 5.3f}, {18.7f, 8.5f}, {8, 19.2f}}, true);
      g.line(13.5f, 7.3f, 16.7f, 10.5f);
      g.line(12, 20.5f, 20, 20.5f);
      break;
    case IconKind::ChevronLeft: g.poly({{15, 5}, {8, 12}, {15, 19}}); break;
    case IconKind::ChevronRight: g.poly({{9, 5}, {16, 12}, {9, 19}}); break;
    case IconKind::ChevronUp: g.poly({{5, 15}, {12, 8}, {19, 15}}); break;
    case IconKind::ChevronDown: g.poly({{5, 9}, {12, 16}, {19, 9}}); break;
    case IconKind::Inbox: g.tray(); break;
    case IconKind::Starred:
    case IconKind::Star: g.star(false); break;
    case IconKind::StarFilled: g.star(true); break;
    case IconKind::Sent:
      g.poly({{3, 11}, {21, 3}, {14, 21}, {11, 13}}, true);
      g.line(11, 13, 21, 3);
      break;
    case IconKind::Drafts:
      g.page();
      g.line(9, 13, 16, 13);
      g.line(9, 17, 14, 17);
      break;
    case IconKind::Archive:
      g.rect(3, 4, 18, 5, 1.2f);
      g.poly({{4.5f, 9}, {4.5f, 20}, {19.5f, 20}, {19.5f, 9}});
      g.line(10, 13, 14, 13);
      break;
    case IconKind::Trash:
      g.line(3.5f, 6.5f, 20.5f, 6.5f);
      g.poly({{9, 6.5f}, {9.5f, 3.5f}, {14.5f, 3.5f}, {15, 6.5f}});
      g.poly({{5.5f, 6.5f}, {6.7f, 20.5f}, {17.3f, 20.5f}, {18.5f, 6.5f}});
      g.line(10, 10.5f, 10, 17);
      g.line(14, 10.5f, 14, 17);
      break;
    case IconKind::Junk:
      g.poly({{8, 3}, {16, 3}, {21, 8}, {21, 16}, {16, 21}, {8, 21}, {3, 16}, {3, 8}}, true);
      g.line(12, 7.5f, 12, 13);
      g.circle(12, 16.5f, 1.1f, true);
      break;
    case IconKind::Folder:
      g.poly({{3, 6}, {9, 6}, {11, 8.5f}, {21, 8.5f}, {21, 19}, {3, 19}}, true);
      break;
    case IconKind::Account:
      g.circle(12, 8.5f, 4);
      g.poly({{4.5f, 20.5f}, {6, 16.5f}, {9, 14.5f}, {15, 14.5f}, {18, 16.5f}, {19.5f, 20.5f}});
      break;
    case IconKind::Search:
      g.circle(10.5f, 10.5f, 6.5f);
      g.line(15.3f, 15.3f, 20.5f, 20.5f);
      break;
    case IconKind::Attachment:
      g.poly({{16.5f, 7}, {16.5f, 16}, {14.8f, 19.8f}, {12, 21}, {9.2f, 19.8f}, {7.5f, 16},
              {7.5f, 6}, {8.8f, 3.8f}, {11, 3}, {13.2f, 3.8f}, {14.3f, 6}, {14.3f, 15.5f},
              {13.5f, 17.2f}, {12, 17.8f}, {10.5f, 17.2f}, {9.7f, 15.5f}, {9.7f, 7.5f}});
      break;
    case IconKind::Check: g.poly({{4.5f, 12.5f}, {9.5f, 17.5f}, {19.5f, 6.5f}}); break;
    case IconKind::Reply:
      g.poly({{10, 5}, {3.5f, 11}, {10, 17}});
      g.poly({{3.5f, 11}, {14, 11}, {18, 12.5f}, {20.5f, 16}, {20.5f, 19.5f}});
      break;
    case IconKind::ReplyAll:
      g.poly({{8, 6}, {2.5f, 11}, {8, 16}});
      g.poly({{13, 6}, {7.5f, 11}, {13, 16}});
      g.poly({{7.5f, 11}, {15, 11}, {19, 12.5f}, {21.5f, 16}, {21.5f, 19.5f}});
      break;
    case IconKind::Forward:
      g.poly({{14, 5}, {20.5f, 11}, {14, 17}});
      g.poly({{20.5f, 11}, {10, 11}, {6, 12.5f}, {3.5f, 16}, {3.5f, 19.5f}});
      break;
    case IconKind::MarkUnread:
      g.rect(3, 6, 16, 13, 2);
      g.poly({{3.5f, 7}, {11, 13}, {18.5f, 7}});
      g.circle(19.5f, 5.5f, 3, true);
      break;
    case IconKind::MarkRead:
      g.poly({{3, 10}, {12, 4}, {21, 10}, {21, 20}, {3, 20}}, true);
      g.poly({{3.5f, 10.5f}, {12, 16}, {20.5f, 10.5f}});
      break;
    case IconKind::Preview:
      g.poly({{2.5f, 12}, {6, 7.5f}, {12, 5.5f}, {18, 7.5f}, {21.5f, 12}, {18, 16.5f}, {12, 18.5f},
              {6, 16.5f}}, true);
      g.circle(12, 12, 3.2f);
      break;
    case IconKind::Notice:
      g.circle(12, 12, 9);
      g.line(12, 11, 12, 16.5f);
      g.circle(12, 7.8f, 1.1f, true);
      break;
    case IconKind::Close:
      g.line(6, 6, 18, 18);
      g.line(18, 6, 6, 18);
      break;
    case IconKind::Menu:
      g.line(4, 7, 20, 7);
      g.line(4, 12, 20, 12);
      g.line(4, 17, 20, 17);
      break;
    case IconKind::Refresh:
      g.poly({{19, 12}, {18, 16}, {15, 19}, {11, 19.8f}, {7.3f, 18.5f}, {4.8f, 15.5f}, {4, 12},
              {5, 8}, {8, 5}, {12, 4.2f}, {16, 5.5f}, {18.5f, 8}});
      g.poly({{19, 3.5f}, {18.8f, 8.3f}, {14.3f, 8}});
      break;
    case IconKind::FilePdf:
      g.page();
      g.fill_rect(7.5f, 12.5f, 10, 5, 1);
      break;
    case IconKind::FileImage:
      g.page();
      g.poly({{8, 18}, {11, 14}, {13, 16.5f}, {14.5f, 15}, {17, 18}}, true);
      break;
    case IconKind::FileCalendar:
      g.rect(4, 5, 16, 15, 2);
      g.line(4, 10, 20, 10);
      g.line(8.5f, 3, 8.5f, 7);
      g.line(15.5f, 3, 15.5f, 7);
      g.fill_rect(8, 13, 3, 3, 0.5f);
      break;
    case IconKind::FileText:
      g.page();
      g.line(9, 12, 16, 12);
      g.line(9, 15, 16, 15);
      g.line(9, 18, 13, 18);
      break;
    case IconKind::FileArchive:
      g.page();
      g.line(11, 5, 11, 7);
      g.line(11, 9, 11, 11);
      g.rect(9.5f, 13, 3, 4, 0.6f);
      break;
    case IconKind::FileGeneric: g.page(); break;
    case IconKind::Download:
      g.line(12, 3.5f, 12, 15);
      g.poly({{7, 10.5f}, {12, 15.5f}, {17, 10.5f}});
      g.line(4.5f, 20, 19.5f, 20);
      break;
    case IconKind::Save:
      g.poly({{4, 4}, {17, 4}, {20, 7}, {20, 20}, {4, 20}}, true);
      g.rect(8, 4, 8, 5, 0.5f);
      g.rect(7, 13, 10, 7, 0.5f);
      break;
    case IconKind::Image:
      g.rect(3, 5, 18, 14, 2);
      g.circle(8.5f, 9.5f, 1.6f, true);
      g.poly({{3.5f, 17}, {9, 12.5f}, {13, 15.5f}, {16, 13}, {20.5f, 17}});
      break;
    case IconKind::BlockedContent:
      g.circle(12, 12, 8.5f);
      g.line(6, 6, 18, 18);
      break;
  }
}

}  // namespace zarn_ui
