// Rich text layout shaped by QTextLayout: bidirectional text, combining marks,
// emoji sequences and line breaking as Qt's shaper does them. Offsets are
// characters; the layout keeps the map between them and Qt's UTF-16 positions.

#include <QGlyphRun>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "zarn_ui/qt/qt_painter.h"
#include "zarn_ui/rich_text.h"

namespace zarn_ui::qt {

namespace {

QColor qcolor(Color c) {
  return QColor(c.r, c.g, c.b, c.a);
}

class QtRichTextLayout : public RichTextLayout {
 public:
  QtRichTextLayout(QtTextRenderer& renderer, std::u32string chars, std::vector<int> links,
                   const std::vector<std::pair<std::size_t, TextStyle>>& styles,
                   const ParagraphOptions& options)
      : RichTextLayout(std::move(chars), std::move(links)) {
    QString text;
    text.reserve(static_cast<qsizetype>(chars_.size()));
    utf16_of_.reserve(chars_.size() + 1);
    for (char32_t c : chars_) {
      utf16_of_.push_back(static_cast<int>(text.size()));
      // A line feed is a forced line break to QTextLayout only as U+2028.
      const char32_t shown = c == '\n' ? char32_t{0x2028} : c;
      text.append(QString::fromUcs4(&shown, 1));
    }
    utf16_of_.push_back(static_cast<int>(text.size()));
    char_of_.assign(static_cast<std::size_t>(text.size()) + 1, 0);
    for (std::size_t i = 0; i < chars_.size(); ++i) {
      for (int u = utf16_of_[i]; u < utf16_of_[i + 1]; ++u)
        char_of_[static_cast<std::size_t>(u)] = i;
    }
    char_of_.back() = chars_.size();

    const TextStyle base = styles.empty() ? TextStyle{} : styles.front().second;
    layout_ =
        std::make_unique<QTextLayout>(text, renderer.font(base, 72), renderer.reference_device());
    QList<QTextLayout::FormatRange> formats;
    for (std::size_t i = 0; i < styles.size(); ++i) {
      const std::size_t begin = styles[i].first;
      const std::size_t end = i + 1 < styles.size() ? styles[i + 1].first : chars_.size();
      if (end <= begin) continue;
      QTextLayout::FormatRange range;
      range.start = utf16_of_[begin];
      range.length = utf16_of_[end] - utf16_of_[begin];
      range.format.setFont(renderer.font(styles[i].second, 72));
      range.format.setForeground(qcolor(styles[i].second.color));
      formats.push_back(range);
    }
    layout_->setFormats(formats);
    layout_->setCacheEnabled(true);

    const bool wrap = options.max_width > 0;
    QTextOption option;
    option.setTextDirection(Qt::LayoutDirectionAuto);
    option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    option.setAlignment(options.align == Align::Center ? Qt::AlignHCenter
                        : options.align == Align::End  ? Qt::AlignRight
                                                       : Qt::AlignLeft);
    layout_->setTextOption(option);
    float width = options.max_width;
    if (!wrap) {
      // Unwrapped lines align within the widest of them: measure, then lay out again.
      lay_out(1e6f);
      width = 0;
      for (int i = 0; i < layout_->lineCount(); ++i) {
        width = std::max(width, static_cast<float>(layout_->lineAt(i).naturalTextWidth()));
      }
      width = std::ceil(width);
    }
    lay_out(width);

    std::vector<bool> boundaries(chars_.size() + 1, true);
    for (std::size_t i = 1; i < chars_.size(); ++i) {
      boundaries[i] = layout_->isValidCursorPosition(utf16_of_[i]);
    }
    set_boundaries(boundaries);
  }

  CaretGeometry caret_geometry(std::size_t offset) const override {
    offset = snap(offset);
    const std::size_t index = line_of(offset);
    const QTextLine line = layout_->lineAt(static_cast<int>(index));
    int position = utf16_of_[offset];
    const float x = static_cast<float>(line.cursorToX(&position));
    return {x, lines_[index].top, lines_[index].height};
  }

  std::vector<Rect> selection_rects(std::size_t from, std::size_t to) const override {
    if (from > to) std::swap(from, to);
    from = snap(from);
    to = snap(std::min(to, length()));
    std::vector<Rect> out;
    if (from == to) return out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const LineBox& line = lines_[i];
      if (line.end <= from || line.start >= to) continue;
      const std::size_t a = std::max(from, line.start), b = std::min(to, line.end);
      std::vector<Rect> on_line;
      // Glyph runs of a range carry the logical extent of exactly that range,
      // split where the line's direction changes.
      const QList<QGlyphRun> runs = layout_->glyphRuns(utf16_of_[a], utf16_of_[b] - utf16_of_[a]);
      for (const QGlyphRun& run : runs) {
        const QRectF r = run.boundingRect();
        if (r.width() <= 0) continue;
        on_line.push_back({static_cast<float>(r.left()), line.top, static_cast<float>(r.right()),
                           line.top + line.height});
      }
      if (on_line.empty()) {  // only a line break or spaces Qt does not draw
        const float x = caret_geometry(a).x;
        on_line.push_back({x, line.top, x + line.height / 3, line.top + line.height});
      }
      merge_touching(on_line);
      out.insert(out.end(), on_line.begin(), on_line.end());
    }
    return out;
  }

  void draw(Painter& painter, Point origin) const override {
    auto* qt_painter = dynamic_cast<QtPainter*>(&painter);
    if (qt_painter == nullptr) return;
    layout_->draw(&qt_painter->qpainter(), QPointF(origin.x, origin.y));
  }

 private:
  void lay_out(float width) {
    layout_->clearLayout();
    lines_.clear();
    layout_->beginLayout();
    float y = 0;
    while (true) {
      QTextLine line = layout_->createLine();
      if (!line.isValid()) break;
      line.setLineWidth(width);
      line.setPosition(QPointF(0, y));
      y += static_cast<float>(line.height());
    }
    layout_->endLayout();
    for (int i = 0; i < layout_->lineCount(); ++i) {
      const QTextLine line = layout_->lineAt(i);
      const QRectF natural = line.naturalTextRect();
      lines_.push_back(LineBox{
          .start = char_of_[static_cast<std::size_t>(line.textStart())],
          .end = char_of_[static_cast<std::size_t>(line.textStart() + line.textLength())],
          .top = static_cast<float>(line.y()),
          .height = static_cast<float>(line.height()),
          .baseline = static_cast<float>(line.y() + line.ascent()),
          .left = static_cast<float>(natural.left()),
          .width = static_cast<float>(line.naturalTextWidth()),
      });
    }
  }

  static void merge_touching(std::vector<Rect>& rects) {
    std::sort(rects.begin(), rects.end(),
              [](const Rect& a, const Rect& b) { return a.left < b.left; });
    std::vector<Rect> merged;
    for (const Rect& r : rects) {
      if (!merged.empty() && r.left <= merged.back().right + 0.5f) {
        merged.back().right = std::max(merged.back().right, r.right);
      } else {
        merged.push_back(r);
      }
    }
    rects = std::move(merged);
  }

  std::unique_ptr<QTextLayout> layout_;
  std::vector<int> utf16_of_;         // per character, plus the end
  std::vector<std::size_t> char_of_;  // per UTF-16 unit, plus the end
};

}  // namespace

std::unique_ptr<RichTextLayout> QtTextRenderer::layout(const std::vector<RichRun>& runs,
                                                       const ParagraphOptions& options) {
  std::u32string chars;
  std::vector<int> links;
  std::vector<std::pair<std::size_t, TextStyle>> styles;
  for (const RichRun& run : runs) {
    const std::u32string run_chars = decode_utf8(run.text);
    styles.emplace_back(chars.size(), run.style);
    chars += run_chars;
    links.insert(links.end(), run_chars.size(), run.link);
  }
  return std::make_unique<QtRichTextLayout>(*this, std::move(chars), std::move(links), styles,
                                            options);
}

}  // namespace zarn_ui::qt
