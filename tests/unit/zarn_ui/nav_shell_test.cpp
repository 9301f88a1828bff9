#include <gtest/gtest.h>

#include "probe_widget.h"
#include "support/fake_text.h"
#include "zarn_ui/nav_shell.h"

using namespace zarn_ui;
using testing_support::ProbeWidget;

namespace {
struct Shell {
  ProbeWidget *sidebar, *list, *detail;
  std::unique_ptr<NavShell> shell;
  testing_support::FakeText text;
  Shell() {
    auto s = std::make_unique<ProbeWidget>();
    auto l = std::make_unique<ProbeWidget>();
    auto d = std::make_unique<ProbeWidget>();
    sidebar = s.get();
    list = l.get();
    detail = d.get();
    shell = std::make_unique<NavShell>(std::move(l), std::move(d), Theme::dark());
    shell->with_sidebar(std::move(s));
    shell->set_collapse_width(860);
  }
  void layout(float w, float h) {
    LayoutContext ctx{text, 1};
    shell->apply_layout(Rect{0, 0, w, h}, ctx);
  }
};
}  // namespace

TEST(NavShell, WideLayoutPutsThreeColumnsSideBySide) {
  Shell s;
  s.layout(1280, 800);
  EXPECT_FALSE(s.shell->narrow());
  EXPECT_EQ(s.sidebar->bounds(), (Rect{0, 0, 260, 800}));
  EXPECT_EQ(s.list->bounds(), (Rect{260, 0, 600, 800}));
  EXPECT_EQ(s.detail->bounds(), (Rect{600, 0, 1280, 800}));
  EXPECT_TRUE(s.shell->sidebar_visible());
}

TEST(NavShell, NarrowLayoutShowsOneColumnAndTheDrawerOnRequest) {
  Shell s;
  s.layout(560, 860);
  EXPECT_TRUE(s.shell->narrow());
  EXPECT_EQ(s.list->bounds(), (Rect{0, 0, 560, 860}));
  EXPECT_FALSE(s.shell->detail_rect());
  EXPECT_FALSE(s.shell->sidebar_visible());

  s.shell->snap();
  s.layout(560, 860);
  EXPECT_EQ(s.detail->bounds(), (Rect{0, 0, 560, 860}));
  EXPECT_FALSE(s.shell->list_rect());

  s.shell->snap_sidebar();
  s.layout(560, 860);
  ASSERT_TRUE(s.shell->drawer_rect());
  EXPECT_TRUE(s.shell->sidebar_visible());
  // A press on the scrim closes the drawer and reaches no column.
  EventContext ctx;
  s.shell->handle_event(PointerPress{.pos = {550, 400}}, ctx);
  EXPECT_FALSE(s.shell->drawer_open());
  EXPECT_TRUE(s.detail->events.empty());
}

TEST(NavShell, PointerEventsGoToTheColumnUnderThePointerUntilRelease) {
  Shell s;
  s.layout(1280, 800);
  EventContext ctx;
  s.shell->handle_event(PointerPress{.pos = {300, 10}}, ctx);
  s.shell->handle_event(PointerMove{.pos = {900, 10}}, ctx);    // dragged out: still the list's
  s.shell->handle_event(PointerRelease{.pos = {900, 10}}, ctx);
  s.shell->handle_event(PointerMove{.pos = {900, 10}}, ctx);    // after release: the detail's
  EXPECT_EQ(s.list->events.size(), 3u);
  EXPECT_EQ(s.detail->events.size(), 1u);
  EXPECT_EQ(s.shell->handle_event(KeyPress{.key = Key::Enter}, ctx), EventResult::Ignored);
}
