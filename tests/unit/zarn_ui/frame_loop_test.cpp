#include <gtest/gtest.h>

#include "probe_widget.h"
#include "support/fake_text.h"
#include "zarn_ui/frame_loop.h"

using namespace zarn_ui;

TEST(FrameLoop, SyncsEveryFrameAndLaysOutOnlyWhenNeeded) {
  testing_support::ProbeWidget root;
  testing_support::FakeText text;
  FrameLoop loop(root, text, nullptr);
  loop.resize({800, 600});
  loop.run_frame(Clock::now());
  EXPECT_EQ(root.syncs, 1);
  EXPECT_EQ(root.layouts, 1);
  EXPECT_EQ(root.bounds(), (Rect{0, 0, 800, 600}));
  loop.finish_frame();
  EXPECT_FALSE(loop.wants_frame());  // idle: the host may sleep

  loop.run_frame(Clock::now());
  EXPECT_EQ(root.syncs, 2);
  EXPECT_EQ(root.layouts, 1);  // nothing asked for a layout

  loop.dispatch(PointerMove{.pos = {1, 1}});
  EXPECT_TRUE(loop.wants_frame());
  loop.run_frame(Clock::now());
  EXPECT_EQ(root.layouts, 2);
  EXPECT_EQ(root.events.size(), 1u);
}

TEST(FrameLoop, KeepsFramingWhileTheRootWantsIdleSyncAndReportsItsWakeUp) {
  testing_support::ProbeWidget root;
  testing_support::FakeText text;
  FrameLoop loop(root, text, nullptr);
  loop.resize({10, 10});
  loop.run_frame(Clock::now());
  loop.finish_frame();
  root.idle = true;
  EXPECT_TRUE(loop.wants_frame());
  root.idle = false;
  const Instant at = Clock::now() + std::chrono::seconds(3);
  root.wake = at;
  EXPECT_FALSE(loop.wants_frame());
  EXPECT_EQ(loop.wake_at(), at);
}
