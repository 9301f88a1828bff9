#pragma once
// A scroll container over a long list of rows of one height. Only the rows
// that show are made, laid out and drawn: a list of 100,000 messages costs as
// much per frame as the dozen or so on screen.
//
//   rows ........... RowSource makes a row's widget when it scrolls into view;
//                    the widget is dropped when it leaves
//   scrolling ...... wheel (lines and pixels), the scroll bar (drag the thumb,
//                    press the track to page), Page Up/Down, Home/End,
//                    Up/Down by a line, scroll_into_view
//   clipping ....... rows draw inside the container only
//
// A wheel turn or key that cannot scroll any further is left to the parents,
// so an outer container can take it.

#include <cstddef>
#include <memory>
#include <vector>

#include "zarn_ui/theme.h"
#include "zarn_ui/widget.h"

namespace zarn_ui {

class RowSource {
 public:
  virtual ~RowSource() = default;
  virtual std::size_t row_count() const = 0;
  virtual WidgetBox make_row(std::size_t index) = 0;
};

class ScrollView : public Widget {
 public:
  static constexpr float kLine = 20;      // one wheel line, one arrow key
  static constexpr float kBarWidth = 10;  // the scroll bar, over the rows' right edge

  ScrollView(std::unique_ptr<RowSource> rows, float row_height, Theme theme);

  float row_height() const { return row_height_; }
  std::size_t row_count() const { return rows_->row_count(); }
  float content_height() const;
  float offset() const { return offset_; }
  float max_offset() const;
  // Scrolls to `offset` (clamped); true when that moved anything.
  bool scroll_to(float offset);
  bool scroll_by(float delta) { return scroll_to(offset_ + delta); }
  // Scrolls as little as needed to show `rect` (in content coordinates: 0 is
  // the top of the first row); a rectangle taller than the view shows its top.
  bool scroll_into_view(const Rect& rect);
  bool scroll_row_into_view(std::size_t index);
  // The rows made for the last layout, as [first, last).
  std::size_t first_row() const { return first_; }
  std::size_t last_row() const { return first_ + shown_.size(); }
  // The widget of a row on screen, if it is.
  Widget* row_widget(std::size_t index);
  // Tells the view that the source changed: every row is made again.
  void reload();

  std::string_view type_name() const override { return "zarn_ui::ScrollView"; }
  void sync(SyncContext& ctx) override;
  bool build_layout(LayoutContext& ctx) override;
  void apply_layout(const Rect& bounds, LayoutContext& ctx) override;
  void draw_with_presence(DrawContext& ctx) override;
  EventResult handle_event(const Event& event, EventContext& ctx) override;
  Rect bounds() const override { return bounds_; }
  Widget* hit_test(Point p) override;
  std::size_t child_count() const override { return shown_.size(); }
  Widget* child_at(std::size_t index) override;
  bool needs_another_frame() const override;
  void frame_finished() override;
  bool needs_idle_sync() const override;
  bool needs_animation_frame() const override;
  std::optional<Instant> next_wake_up() const override;

  // The scroll bar's thumb, when the rows overflow the view.
  std::optional<Rect> thumb_rect() const;

 private:
  Rect track_rect() const;
  bool page(float direction);

  std::unique_ptr<RowSource> rows_;
  float row_height_;
  Theme theme_;
  Rect bounds_{};
  float offset_ = 0;
  bool moved_ = false;  // scrolled since the last layout
  std::size_t first_ = 0;
  std::vector<WidgetBox> shown_;  // rows first_ … first_ + size - 1
  bool bar_hovered_ = false;
  std::optional<float> drag_grab_;  // where on the thumb the drag holds it
};

}  // namespace zarn_ui
