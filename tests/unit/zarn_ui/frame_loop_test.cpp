#include "zarn_ui/frame_loop.h"

#include <gtest/gtest.h>

#include <thread>

#include "probe_widget.h"
#include "support/fake_text.h"
#include "test_tree.h"

using namespace zarn_ui;
using testing_support::Node;

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

  // A handled event repaints; it does not lay out again.
  loop.dispatch(PointerMove{.pos = {1, 1}});
  EXPECT_TRUE(loop.wants_frame());
  EXPECT_FALSE(loop.needs_layout());
  loop.run_frame(Clock::now());
  EXPECT_EQ(root.layouts, 1);
  EXPECT_FALSE(root.events.empty());

  // Size and scale changes do.
  loop.resize({800, 500});
  loop.run_frame(Clock::now());
  EXPECT_EQ(root.layouts, 2);
  loop.set_scale(2);
  EXPECT_TRUE(loop.needs_layout());
  loop.run_frame(Clock::now());
  EXPECT_EQ(root.layouts, 3);
  loop.set_scale(2);
  EXPECT_FALSE(loop.needs_layout());
}

TEST(FrameLoop, LayoutGetsTheWindowScale) {
  struct ScaleProbe : testing_support::ProbeWidget {
    void apply_layout(const Rect& b, LayoutContext& ctx) override {
      ProbeWidget::apply_layout(b, ctx);
      seen = ctx.scale;
    }
    float seen = 0;
  } root;
  testing_support::FakeText text;
  FrameLoop loop(root, text, nullptr);
  loop.set_scale(1.5f);
  loop.run_frame(Clock::now());
  EXPECT_FLOAT_EQ(root.seen, 1.5f);
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

// Hover and a caret's blink change only how things look: they repaint and
// leave the layout alone; a handler that changes content asks for a layout.
TEST(FrameLoop, HoverAndBlinkRepaintWithoutLayingOut) {
  std::vector<std::string> log;
  Node root("root", {}, &log);
  Node& field = root.add("field", {0, 0, 100, 20});
  field.can_focus = true;
  const auto blink = std::chrono::milliseconds(500);
  field.on_event = [&](const Event& e, EventContext& ctx) {
    if (std::holds_alternative<TextEvent>(e)) {
      ctx.request_layout = true;  // the text grew
      return EventResult::Handled;
    }
    return EventResult::Ignored;
  };
  testing_support::FakeText text;
  FrameLoop loop(root, text, nullptr);
  loop.resize({200, 100});
  loop.run_frame(Clock::now());
  loop.finish_frame();
  const int layouts = root.layouts;

  loop.dispatch(PointerMove{.pos = {10, 10}});  // enters the field
  EXPECT_TRUE(loop.wants_frame());
  loop.run_frame(Clock::now());
  loop.finish_frame();
  EXPECT_EQ(root.layouts, layouts);
  EXPECT_FALSE(loop.wants_frame());

  // The field blinks on a timer: the host sleeps until then, and the frame it
  // runs at that moment does not lay out.
  loop.set_focus(&field);
  loop.run_frame(Clock::now());
  loop.finish_frame();
  const Instant t0 = Clock::now();
  root.wake = t0 + blink;  // the window reports its field's next blink
  EXPECT_FALSE(loop.wants_frame());
  EXPECT_EQ(loop.wake_at(), t0 + blink);
  loop.run_frame(t0 + blink);
  loop.finish_frame();
  EXPECT_EQ(root.layouts, layouts);

  loop.dispatch(TextEvent{"x"});
  EXPECT_TRUE(loop.needs_layout());
  loop.run_frame(Clock::now());
  EXPECT_EQ(root.layouts, layouts + 1);
}

// Another thread posts a result and asks for a frame: the sleeping loop wakes
// at once (not at its next timer) and draws exactly one frame for any number
// of requests made before that frame.
TEST(FrameLoop, APostFromAnotherThreadWakesTheSleepingLoopForOneFrame) {
  testing_support::ProbeWidget root;
  testing_support::FakeText text;
  FrameLoop loop(root, text, nullptr);
  loop.resize({10, 10});
  loop.run_frame(Clock::now());
  loop.finish_frame();
  ASSERT_FALSE(loop.wants_frame());

  std::atomic<int> posted = 0;
  std::shared_ptr<FrameWaker> waker = loop.waker();
  std::thread worker([&posted, waker] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (int i = 0; i < 20; ++i) {
      ++posted;
      waker->request_frame();
    }
  });
  const Instant start = Clock::now();
  const auto frames_before = loop.frames();
  // The host's sleep: nothing pending and no timed wake-up, so it would wait
  // forever; a generous bound keeps a broken waker from hanging the test.
  ASSERT_TRUE(loop.waker()->wait_until(start + std::chrono::seconds(10)));
  worker.join();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(loop.wants_frame());
  loop.run_frame(Clock::now());
  loop.finish_frame();
  EXPECT_EQ(posted, 20);
  EXPECT_EQ(loop.frames(), frames_before + 1);
  EXPECT_FALSE(loop.wants_frame());
  EXPECT_FALSE(loop.waker()->wait_until(Clock::now() + std::chrono::milliseconds(20)));
}

TEST(FrameWaker, TellsTheHostOncePerPendingRequest) {
  FrameWaker waker;
  std::atomic<int> told = 0;
  waker.set_notify([&] { ++told; });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 100; ++i) waker.request_frame();
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(told, 1);
  EXPECT_TRUE(waker.take());
  EXPECT_FALSE(waker.take());
  waker.request_frame();
  EXPECT_EQ(told, 2);
  waker.set_notify(nullptr);
  waker.take();
  waker.request_frame();  // no host: still remembered
  EXPECT_TRUE(waker.pending());
}
