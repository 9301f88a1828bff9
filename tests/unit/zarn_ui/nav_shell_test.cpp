#include "zarn_ui/nav_shell.h"

#include <gtest/gtest.h>

#include "probe_widget.h"
#include "support/fake_text.h"
#include "zarn_ui/frame_loop.h"

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

namespace {
// The shell as a window's root, driven through the frame loop.
struct ShellWindow : Shell {
  FrameLoop loop{*shell, text, nullptr};
  explicit ShellWindow(Size size) {
    loop.resize(size);
    frame();
  }
  void frame() {
    loop.run_frame(Clock::now());
    loop.finish_frame();
  }
};

std::vector<std::string> pointer_events(const ProbeWidget& w) {
  std::vector<std::string> out;
  for (const Event& e : w.events) {
    if (std::holds_alternative<PointerPress>(e)) out.push_back("press");
    if (std::holds_alternative<PointerMove>(e)) out.push_back("move");
    if (std::holds_alternative<PointerRelease>(e)) out.push_back("release");
  }
  return out;
}
}  // namespace

TEST(NavShell, PointerEventsGoToTheColumnUnderThePointerUntilRelease) {
  ShellWindow s({1280, 800});
  s.loop.dispatch(PointerPress{.pos = {300, 10}});
  s.loop.dispatch(PointerMove{.pos = {900, 10}});  // dragged out: still the list's
  s.loop.dispatch(PointerRelease{.pos = {900, 10}});
  s.loop.dispatch(PointerMove{.pos = {900, 10}});  // after release: the detail's
  EXPECT_EQ(pointer_events(*s.list), (std::vector<std::string>{"press", "move", "release"}));
  EXPECT_EQ(pointer_events(*s.detail), (std::vector<std::string>{"move"}));
}

TEST(NavShell, KeysReachTheFocusedColumnAndTabWalksTheVisibleOnes) {
  ShellWindow s({1280, 800});
  for (ProbeWidget* w : {s.sidebar, s.list, s.detail}) {
    w->can_focus = true;
    w->handles = false;  // Tab is left to the loop
  }
  s.loop.dispatch(KeyPress{.key = Key::Tab});
  EXPECT_EQ(s.loop.focused(), s.sidebar);
  s.loop.dispatch(KeyPress{.key = Key::Tab});
  EXPECT_EQ(s.loop.focused(), s.list);
  s.list->events.clear();
  s.list->handles = true;
  EXPECT_EQ(s.loop.dispatch(KeyPress{.key = Key::Enter}), EventResult::Handled);
  ASSERT_EQ(s.list->events.size(), 1u);
  EXPECT_TRUE(std::holds_alternative<KeyPress>(s.list->events[0]));
  s.list->handles = false;

  // Narrow, only the list shows: Tab stays on it.
  s.loop.resize({560, 860});
  s.frame();
  s.loop.dispatch(KeyPress{.key = Key::Tab});
  EXPECT_EQ(s.loop.focused(), s.list);
}

TEST(NavShell, TheOpenDrawerTakesFocusAndEscapeClosesIt) {
  ShellWindow s({560, 860});
  for (ProbeWidget* w : {s.sidebar, s.list, s.detail}) w->can_focus = true;
  s.sidebar->handles = false;
  s.loop.set_focus(s.list);
  s.shell->snap_sidebar();
  s.loop.request_layout();
  s.frame();
  EXPECT_EQ(s.loop.focused(), s.sidebar);
  s.loop.dispatch(KeyPress{.key = Key::Tab});
  EXPECT_EQ(s.loop.focused(), s.sidebar);  // nothing else to reach behind the scrim

  EXPECT_EQ(s.loop.dispatch(KeyPress{.key = Key::Escape}), EventResult::Handled);
  EXPECT_FALSE(s.shell->drawer_open());
  EXPECT_TRUE(s.loop.needs_layout());
  s.frame();
  EXPECT_FALSE(s.shell->drawer_rect());
  EXPECT_EQ(s.loop.focused(), s.list);  // back where it was
}
