#include "zarn_ui/web_view.h"

#include <gtest/gtest.h>

#include "recording_painter.h"
#include "support/fake_text.h"

using namespace zarn_ui;

namespace {

const std::string blocking_rules =
    R"([{"trigger":{"url-filter":"^https?://"},"action":{"type":"block"}}])";
const std::string image_rules =
    R"([{"trigger":{"url-filter":"^https?://","resource-type":["script","style-sheet","font","raw"]},"action":{"type":"block"}}])";
const std::string page = "data:text/html;charset=utf-8;base64,PGI+aGk8L2I+";

}  // namespace

TEST(WebView, FeedsTheEngineRulesThenTheUrlAndReportsTheLoad) {
  auto engine = std::make_shared<TestWebEngine>();
  WebView view(engine);
  view.with_test_id("mail_html_body");
  EXPECT_EQ(view.load_state(), WebLoadState::Empty);

  view.set_content_rules(blocking_rules);
  view.load_url(page);
  EXPECT_EQ(view.load_state(), WebLoadState::Loading);
  EXPECT_TRUE(view.needs_animation_frame());

  const auto commands = engine->commands();
  ASSERT_EQ(commands.size(), 2u);
  ASSERT_TRUE(std::holds_alternative<WebSetContentRules>(commands[0]));
  EXPECT_EQ(std::get<WebSetContentRules>(commands[0]).rules_json, blocking_rules);
  ASSERT_TRUE(std::holds_alternative<WebLoadUrl>(commands[1]));
  EXPECT_EQ(std::get<WebLoadUrl>(commands[1]).url, page);

  view.poll_reports();
  EXPECT_EQ(view.load_state(), WebLoadState::Loaded);
  EXPECT_FALSE(view.needs_animation_frame());
  EXPECT_EQ(view.test_id(), "mail_html_body");

  // The test engine renders nothing, and says so.
  testing_support::FakeText text;
  LayoutContext layout{text};
  view.apply_layout({0, 0, 300, 200}, layout);
  testing_support::RecordingPainter painter;
  DrawContext draw{painter};
  view.draw_with_presence(draw);
  EXPECT_FALSE(view.rendered());
}

TEST(WebView, TheEngineAppliesTheContentRulesToPageLoads) {
  struct Case {
    std::string rules, url;
    WebLoadState state;
  };
  const std::vector<Case> cases = {
      {blocking_rules, "https://tracker.test/pixel", WebLoadState::Failed},
      {blocking_rules, "http://tracker.test/pixel", WebLoadState::Failed},
      {blocking_rules, page, WebLoadState::Loaded},
      // Rules for scripts, style sheets, fonts and raw loads leave pages alone.
      {image_rules, "https://images.test/a.png", WebLoadState::Loaded},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    WebView view(std::make_shared<TestWebEngine>());
    view.set_content_rules(c.rules);
    view.load_url(c.url);
    view.poll_reports();
    EXPECT_EQ(view.load_state(), c.state);
    EXPECT_EQ(view.problem().empty(), c.state != WebLoadState::Failed);
  }
}

TEST(WebView, RefusedRulesAreReportedAndThePreviousOnesStay) {
  auto engine = std::make_shared<TestWebEngine>();
  WebView view(engine);
  view.set_content_rules(blocking_rules);
  for (const std::string bad : {"{}", "not json", R"([{"trigger":{}}])",
                                R"([{"trigger":{"url-filter":"("},"action":{"type":"block"}}])"}) {
    SCOPED_TRACE(bad);
    view.set_content_rules(bad);
    view.poll_reports();
    EXPECT_FALSE(view.problem().empty());
  }
  view.load_url("https://tracker.test/");
  view.poll_reports();
  EXPECT_EQ(view.load_state(), WebLoadState::Failed);  // still blocked
}

TEST(WebView, PointerInputInsideTheViewportGoesToTheEngineInPageCoordinates) {
  auto engine = std::make_shared<TestWebEngine>();
  WebView view(engine);
  testing_support::FakeText text;
  LayoutContext layout{text};
  view.apply_layout({100, 50, 400, 250}, layout);
  EventContext ctx;
  EXPECT_EQ(view.handle_event(PointerPress{.pos = {110, 70}}, ctx), EventResult::Handled);
  EXPECT_EQ(view.handle_event(PointerPress{.pos = {10, 10}}, ctx), EventResult::Ignored);
  EXPECT_EQ(view.handle_event(Wheel{.pos = {200, 100}, .dy = 3}, ctx), EventResult::Handled);

  std::vector<WebInput> inputs;
  std::vector<WebSetViewport> viewports;
  for (const auto& c : engine->commands()) {
    if (auto* i = std::get_if<WebInput>(&c)) inputs.push_back(*i);
    if (auto* v = std::get_if<WebSetViewport>(&c)) viewports.push_back(*v);
  }
  ASSERT_EQ(viewports.size(), 1u);
  EXPECT_EQ(viewports[0].viewport, (Rect{100, 50, 400, 250}));
  ASSERT_EQ(inputs.size(), 2u);
  ASSERT_TRUE(std::holds_alternative<PointerPress>(inputs[0].event));
  EXPECT_EQ(std::get<PointerPress>(inputs[0].event).pos, (Point{10, 20}));
  ASSERT_TRUE(std::holds_alternative<Wheel>(inputs[1].event));
  EXPECT_EQ(std::get<Wheel>(inputs[1].event).pos, (Point{100, 50}));
}
