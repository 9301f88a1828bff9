#include <gtest/gtest.h>

#include "support/fake_text.h"
#include "zarn_ui/empty_state.h"

using namespace zarn_ui;

namespace {
struct Fixture {
  testing_support::FakeText text;
  EmptyState state{"Welcome", "Body text", {{"Add", "app.add"}, {"Later", "app.later"}},
                   Theme::dark()};
  std::vector<std::string> fired;
  Fixture() {
    state.on_action([this](const std::string& id) { fired.push_back(id); });
    LayoutContext ctx{text, 1};
    state.apply_layout(Rect{0, 0, 1000, 700}, ctx);
  }
  void click(Point down, Point up) {
    EventContext ctx;
    state.handle_event(PointerPress{.pos = down}, ctx);
    state.handle_event(PointerRelease{.pos = up}, ctx);
  }
};
}  // namespace

TEST(EmptyState, ClickOnAnActionFiresItsId) {
  Fixture f;
  const Rect add = f.state.action_rect(0), later = f.state.action_rect(1);
  ASSERT_FALSE(add.empty());
  EXPECT_LE(add.right, later.left);
  f.click(add.center(), add.center());
  f.click(later.center(), later.center());
  EXPECT_EQ(f.fired, (std::vector<std::string>{"app.add", "app.later"}));
}

TEST(EmptyState, PressAndReleaseOnDifferentPlacesFireNothing) {
  Fixture f;
  const Rect add = f.state.action_rect(0);
  f.click(add.center(), {5, 5});
  f.click({5, 5}, add.center());
  EXPECT_TRUE(f.fired.empty());
}

TEST(EmptyState, KeyboardAndAccessibilityReachTheSameActions) {
  Fixture f;
  EventContext ctx;
  f.state.handle_event(KeyPress{.key = Key::Tab}, ctx);
  f.state.handle_event(KeyPress{.key = Key::Enter}, ctx);
  SyncContext sync;
  EXPECT_TRUE(f.state.perform_semantic_action("app.add", SemanticAction::Activate, "", sync));
  EXPECT_FALSE(f.state.perform_semantic_action("app.other", SemanticAction::Activate, "", sync));
  EXPECT_EQ(f.fired, (std::vector<std::string>{"app.later", "app.add"}));

  const AccessNode node = f.state.accessibility();
  EXPECT_EQ(node.name, "Welcome");
  const AccessNode* button = node.find("app.add");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->role, AccessRole::Button);
  EXPECT_EQ(button->name, "Add");
}
