#include "zarn_ui/scroll_view.h"

#include <gtest/gtest.h>

#include "probe_widget.h"
#include "recording_painter.h"
#include "support/fake_text.h"
#include "zarn_ui/frame_loop.h"

using namespace zarn_ui;
using testing_support::ProbeWidget;

namespace {

// Rows that count how many were ever made and remember the live ones.
class CountingRows : public RowSource {
 public:
  explicit CountingRows(std::size_t count) : count_(count) {}
  std::size_t row_count() const override { return count_; }
  WidgetBox make_row(std::size_t) override {
    ++made;
    auto row = std::make_unique<ProbeWidget>();
    row->handles = false;
    return row;
  }
  std::size_t made = 0;

 private:
  std::size_t count_;
};

struct List {
  CountingRows* rows;
  std::unique_ptr<ScrollView> view;
  testing_support::FakeText text;
  std::unique_ptr<FrameLoop> loop;

  explicit List(std::size_t count, Size size = {300, 400}) {
    auto source = std::make_unique<CountingRows>(count);
    rows = source.get();
    view = std::make_unique<ScrollView>(std::move(source), 20, Theme::dark());
    loop = std::make_unique<FrameLoop>(*view, text, nullptr);
    loop->resize(size);
    frame();
  }
  void frame() {
    loop->run_frame(Clock::now());
    loop->finish_frame();
  }
  int laid_out_rows() {
    int n = 0;
    for (std::size_t i = view->first_row(); i < view->last_row(); ++i) {
      n += static_cast<ProbeWidget*>(view->row_widget(i))->layouts;
    }
    return n;
  }
};

}  // namespace

TEST(ScrollView, OverAHundredThousandRowsOnlyTheVisibleOnesAreMadeLaidOutAndDrawn) {
  List l(100'000);
  EXPECT_EQ(l.view->first_row(), 0u);
  EXPECT_EQ(l.view->last_row(), 20u);  // 400 / 20
  EXPECT_EQ(l.rows->made, 20u);
  EXPECT_EQ(l.laid_out_rows(), 20);
  testing_support::RecordingPainter painter;
  l.loop->paint(painter, Clock::now());
  int draws = 0;
  for (std::size_t i = l.view->first_row(); i < l.view->last_row(); ++i) {
    draws += static_cast<ProbeWidget*>(l.view->row_widget(i))->draws;
  }
  EXPECT_EQ(draws, 20);

  // The last row, brought into view: it lands on screen, at the bottom.
  ASSERT_TRUE(l.view->scroll_row_into_view(99'999));
  l.frame();
  Widget* last = l.view->row_widget(99'999);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->bounds(), (Rect{0, 380, 300, 400}));
  EXPECT_EQ(l.view->offset(), l.view->max_offset());
  EXPECT_EQ(l.view->max_offset(), 100'000 * 20.0f - 400);
  // Still only a screenful exists; nothing in between was ever made.
  EXPECT_EQ(l.view->last_row() - l.view->first_row(), 20u);
  EXPECT_EQ(l.rows->made, 40u);
  EXPECT_FALSE(l.view->scroll_row_into_view(99'990));  // already shows
}

TEST(ScrollView, WheelLinesAndPixelsScrollAndAnEdgeLetsTheWheelGoOn) {
  List l(1000);
  EXPECT_EQ(l.loop->dispatch(Wheel{.pos = {10, 10}, .dy = 3}), EventResult::Handled);
  EXPECT_FLOAT_EQ(l.view->offset(), 3 * ScrollView::kLine);
  EXPECT_TRUE(l.loop->needs_layout());
  l.frame();
  EXPECT_EQ(l.view->first_row(), 3u);
  l.loop->dispatch(Wheel{.pos = {10, 10}, .dy = -15, .unit = Wheel::Unit::Pixels});
  EXPECT_FLOAT_EQ(l.view->offset(), 45);
  // Rows partly scrolled off stay made and are drawn clipped.
  l.frame();
  EXPECT_EQ(l.view->first_row(), 2u);
  EXPECT_EQ(l.view->last_row(), 23u);
  EXPECT_EQ(l.view->row_widget(2)->bounds().top, -5);

  // At the top, a wheel up is not this view's: an outer one may take it.
  l.view->scroll_to(0);
  EXPECT_EQ(l.loop->dispatch(Wheel{.pos = {10, 10}, .dy = -3}), EventResult::Ignored);
}

TEST(ScrollView, KeysPageAndJumpToTheEnds) {
  List l(1000);
  struct Case {
    Key key;
    float want;
  } cases[] = {
      {Key::PageDown, 380}, {Key::PageDown, 760}, {Key::Down, 780}, {Key::PageUp, 400},
      {Key::End, 19'600},   {Key::Up, 19'580},    {Key::Home, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(l.loop->dispatch(KeyPress{.key = c.key}), EventResult::Handled);
    EXPECT_FLOAT_EQ(l.view->offset(), c.want) << static_cast<int>(c.key);
  }
  EXPECT_EQ(l.loop->dispatch(KeyPress{.key = Key::Up}), EventResult::Ignored);  // at the top
}

TEST(ScrollView, DraggingTheThumbScrollsEvenOutsideTheView) {
  List l(1000);
  auto thumb = l.view->thumb_rect();
  ASSERT_TRUE(thumb);
  EXPECT_FLOAT_EQ(thumb->height(), 24);  // the shortest thumb for so long a list
  const Point grab{thumb->left + 5, thumb->top + 10};
  l.loop->dispatch(PointerPress{.pos = grab});
  // Halfway down the travel of the thumb: halfway down the list.
  const float travel = 400 - 24;
  l.loop->dispatch(PointerMove{.pos = {grab.x, grab.y + travel / 2}});
  EXPECT_NEAR(l.view->offset(), l.view->max_offset() / 2, 1);
  // Past the bottom and off to the side: still dragging, clamped at the end.
  l.loop->dispatch(PointerMove{.pos = {900, 2000}});
  EXPECT_FLOAT_EQ(l.view->offset(), l.view->max_offset());
  l.loop->dispatch(PointerRelease{.pos = {900, 2000}});
  l.loop->dispatch(PointerMove{.pos = {grab.x, 10}});
  EXPECT_FLOAT_EQ(l.view->offset(), l.view->max_offset());

  // A press on the track above the thumb pages up.
  l.frame();
  thumb = l.view->thumb_rect();
  l.loop->dispatch(PointerPress{.pos = {thumb->left + 5, thumb->top - 50}});
  EXPECT_FLOAT_EQ(l.view->offset(), l.view->max_offset() - 380);
}

TEST(ScrollView, ShortListsHaveNoBarAndRowsComeBackWhenTheSourceChanges) {
  List l(5);
  EXPECT_FALSE(l.view->thumb_rect());
  EXPECT_EQ(l.view->last_row(), 5u);
  EXPECT_FALSE(l.view->scroll_by(100));
  l.view->reload();
  l.frame();
  EXPECT_EQ(l.rows->made, 10u);
}
