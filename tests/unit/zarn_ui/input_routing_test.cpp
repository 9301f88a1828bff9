// Keyboard focus, key bubbling, pointer capture, hover and modal surfaces as
// the frame loop routes them, without a window system.

#include <gtest/gtest.h>

#include "support/fake_text.h"
#include "test_tree.h"
#include "zarn_ui/frame_loop.h"

using namespace zarn_ui;
using testing_support::handles;
using testing_support::Node;

namespace {

bool is_text(const Event& e, std::string_view text) {
  const auto* t = std::get_if<TextEvent>(&e);
  return t && t->text == text;
}

bool is_key(const Event& e, Key key) {
  const auto* k = std::get_if<KeyPress>(&e);
  return k && k->key == key;
}

// A window with a toolbar (two buttons and a hidden one), a list and a
// search field:
//
//   root ─┬─ toolbar ─┬─ reply (focusable)
//         │           ├─ hidden (focusable, laid out to nothing)
//         │           └─ delete (focusable)
//         ├─ list (focusable)
//         ├─ label (not focusable)
//         └─ search (focusable text field)
struct Window {
  std::vector<std::string> log;
  Node root{"root", {}, &log};
  Node& toolbar = root.add("toolbar", {0, 0, 400, 40});
  Node& reply = toolbar.add("reply", {0, 0, 100, 40});
  Node& hidden = toolbar.add("hidden", {100, 0, 200, 40});
  Node& del = toolbar.add("delete", {200, 0, 300, 40});
  Node& list = root.add("list", {0, 40, 200, 400});
  Node& label = root.add("label", {200, 40, 400, 60});
  Node& search = root.add("search", {200, 60, 400, 90});
  testing_support::FakeText text;
  FrameLoop loop{root, text, nullptr};

  Window() {
    for (Node* n : {&reply, &hidden, &del, &list, &search}) n->can_focus = true;
    hidden.hidden = true;
    loop.resize({400, 400});
    frame();
    log.clear();
  }
  void frame() {
    loop.run_frame(Clock::now());
    loop.finish_frame();
  }
  EventResult key(Key k, Modifiers mods = {}) {
    return loop.dispatch(KeyPress{.key = k, .mods = mods});
  }
  std::string focused() const {
    const auto* n = dynamic_cast<const Node*>(loop.focused());
    return n ? n->name() : "";
  }
};

}  // namespace

TEST(InputRouting, TabMovesFocusInOrderSkippingWhatCannotTakeIt) {
  Window w;
  std::vector<std::string> forward;
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(w.key(Key::Tab), EventResult::Handled);
    forward.push_back(w.focused());
  }
  EXPECT_EQ(forward, (std::vector<std::string>{"reply", "delete", "list", "search", "reply"}));

  std::vector<std::string> backward;
  for (int i = 0; i < 2; ++i) {
    w.key(Key::Tab, {.shift = true});
    backward.push_back(w.focused());
  }
  EXPECT_EQ(backward, (std::vector<std::string>{"search", "list"}));

  // Each move tells the widget that loses focus and the one that gains it.
  w.log.clear();
  w.key(Key::Tab);
  EXPECT_EQ(w.log, (std::vector<std::string>{"list:KeyPress", "root:KeyPress", "list:FocusOut",
                                             "search:FocusIn"}));
  const auto& in = std::get<FocusIn>(w.search.events.back());
  EXPECT_EQ(in.reason, FocusReason::Tab);
}

TEST(InputRouting, KeysGoToTheFocusedWidgetFirstAndBubbleUpUntilHandled) {
  Window w;
  int shortcut = 0;
  w.root.on_event = [&](const Event& e, EventContext&) {
    if (is_key(e, Key::Delete) || is_text(e, "r")) {
      ++shortcut;
      return EventResult::Handled;
    }
    return EventResult::Ignored;
  };
  w.list.on_event = handles([](const Event& e) { return is_key(e, Key::Delete); });
  w.search.on_event = handles([](const Event& e) { return std::holds_alternative<TextEvent>(e); });

  // The list handles Delete itself: the window's shortcut never sees it.
  ASSERT_TRUE(w.loop.set_focus(&w.list));
  w.log.clear();
  EXPECT_EQ(w.key(Key::Delete), EventResult::Handled);
  EXPECT_EQ(w.log, (std::vector<std::string>{"list:KeyPress"}));
  EXPECT_EQ(shortcut, 0);

  // A typed "r" in the search field is the field's, once; the shortcut on "r"
  // does not fire.
  w.loop.set_focus(&w.search);
  w.log.clear();
  w.loop.dispatch(TextEvent{"r"});
  EXPECT_EQ(w.log, (std::vector<std::string>{"search:Text"}));
  EXPECT_EQ(shortcut, 0);

  // With the list focused, the list does not want "r": it bubbles to the
  // window, whose shortcut takes it.
  w.loop.set_focus(&w.list);
  w.log.clear();
  w.loop.dispatch(TextEvent{"r"});
  EXPECT_EQ(w.log, (std::vector<std::string>{"list:Text", "root:Text"}));
  EXPECT_EQ(shortcut, 1);

  // Nothing focused: keys go to the window.
  w.loop.set_focus(nullptr);
  w.log.clear();
  w.key(Key::Delete);
  EXPECT_EQ(w.log, (std::vector<std::string>{"root:KeyPress"}));
  EXPECT_EQ(shortcut, 2);
}

TEST(InputRouting, AWidgetThatTakesTabKeepsIt) {
  Window w;
  w.loop.set_focus(&w.list);
  w.list.on_event = handles([](const Event& e) { return is_key(e, Key::Tab); });
  EXPECT_EQ(w.key(Key::Tab), EventResult::Handled);
  EXPECT_EQ(w.focused(), "list");
}

TEST(InputRouting, ADragThatLeavesAWidgetStillEndsInIt) {
  Window w;
  w.loop.dispatch(PointerPress{.pos = {50, 100}});  // on the list
  EXPECT_EQ(w.loop.pointer_capture(), &w.list);
  w.loop.dispatch(PointerMove{.pos = {300, 75}});  // over the search field
  w.loop.dispatch(PointerRelease{.pos = {300, 75}});
  std::vector<std::string> list_got;
  for (const Event& e : w.list.events) list_got.push_back(testing_support::event_kind(e));
  EXPECT_EQ(list_got, (std::vector<std::string>{"Enter", "FocusIn", "PointerPress", "PointerMove",
                                                "PointerRelease", "Leave"}));
  // Only after the release does the field hear of the pointer.
  std::vector<std::string> search_got;
  for (const Event& e : w.search.events) search_got.push_back(testing_support::event_kind(e));
  EXPECT_EQ(search_got, (std::vector<std::string>{"Enter"}));
  EXPECT_EQ(w.loop.pointer_capture(), nullptr);

  w.loop.dispatch(PointerMove{.pos = {310, 75}});
  EXPECT_EQ(testing_support::event_kind(w.search.events.back()), "PointerMove");
}

TEST(InputRouting, PointerEntersAndLeavesEachWidgetOnItsPathAndShowsItsCursor) {
  Window w;
  w.search.shape = CursorShape::IBeam;
  w.reply.shape = CursorShape::Hand;
  w.loop.dispatch(PointerMove{.pos = {50, 20}});  // reply, inside the toolbar
  EXPECT_EQ(w.loop.cursor(), CursorShape::Hand);
  w.log.clear();
  w.loop.dispatch(PointerMove{.pos = {250, 20}});  // delete, same toolbar
  EXPECT_EQ(w.log, (std::vector<std::string>{"reply:Leave", "delete:Enter", "delete:PointerMove",
                                             "toolbar:PointerMove", "root:PointerMove"}));
  EXPECT_EQ(w.loop.cursor(), CursorShape::Arrow);
  w.log.clear();
  w.loop.dispatch(PointerMove{.pos = {300, 70}});  // the search field, out of the toolbar
  EXPECT_EQ(w.log, (std::vector<std::string>{"delete:Leave", "toolbar:Leave", "search:Enter",
                                             "search:PointerMove", "root:PointerMove"}));
  EXPECT_EQ(w.loop.cursor(), CursorShape::IBeam);
  w.log.clear();
  w.loop.dispatch(PointerLeave{});  // out of the window
  EXPECT_EQ(w.log, (std::vector<std::string>{"search:Leave", "root:Leave"}));
  EXPECT_EQ(w.loop.hovered(), nullptr);
  EXPECT_EQ(w.loop.cursor(), CursorShape::Arrow);
}

TEST(InputRouting, PressesFocusWhatCanTakeFocusAndHandlersMayAskForIt) {
  Window w;
  w.loop.dispatch(PointerPress{.pos = {300, 75}});
  w.loop.dispatch(PointerRelease{.pos = {300, 75}});
  EXPECT_EQ(w.focused(), "search");
  EXPECT_EQ(std::get<FocusIn>(w.search.events[1]).reason, FocusReason::Pointer);

  // A press on the label (which cannot take focus) leaves focus where it was.
  w.loop.dispatch(PointerPress{.pos = {300, 45}});
  w.loop.dispatch(PointerRelease{.pos = {300, 45}});
  EXPECT_EQ(w.focused(), "search");

  // A handler's request is honoured, here on a key.
  w.root.on_event = [](const Event& e, EventContext& ctx) {
    if (!is_key(e, Key::F6)) return EventResult::Ignored;
    ctx.request_focus = true;
    return EventResult::Handled;
  };
  w.key(Key::F6);
  EXPECT_EQ(w.focused(), "root");
}

TEST(InputRouting, FocusThatLeavesTheTreeIsDroppedAndKeysGoToWhatRemains) {
  Window w;
  Node& item = w.list.add("item", {0, 40, 200, 60});
  item.can_focus = true;
  w.loop.request_layout();
  w.frame();
  ASSERT_TRUE(w.loop.set_focus(&item));
  w.frame();
  ASSERT_EQ(w.focused(), "item");
  w.list.remove(item);  // e.g. scrolled out of a virtualised list
  w.log.clear();
  w.key(Key::Down);
  EXPECT_EQ(w.focused(), "");
  EXPECT_EQ(w.log, (std::vector<std::string>{"list:KeyPress", "root:KeyPress"}));
  Node outside("outside", {0, 0, 10, 10}, nullptr);
  EXPECT_FALSE(w.loop.set_focus(&outside));  // not in the window
}

TEST(InputRouting, AnOpenModalSurfaceTakesAllInputAndGivesFocusBackWhenItCloses) {
  Window w;
  w.loop.set_focus(&w.list);
  Node& dialog = w.root.add("dialog", {100, 100, 300, 300});
  Node& ok = dialog.add("ok", {120, 250, 180, 280});
  Node& cancel = dialog.add("cancel", {200, 250, 280, 280});
  ok.can_focus = cancel.can_focus = true;
  dialog.modal = true;
  w.loop.request_layout();
  w.frame();
  EXPECT_EQ(w.focused(), "ok");  // focus moved into the dialog

  // Tab stays inside it.
  w.key(Key::Tab);
  EXPECT_EQ(w.focused(), "cancel");
  w.key(Key::Tab);
  EXPECT_EQ(w.focused(), "ok");
  EXPECT_FALSE(w.loop.set_focus(&w.search));

  // A press outside it goes to the dialog, not to what lies beneath.
  w.log.clear();
  w.loop.dispatch(PointerPress{.pos = {20, 380}});
  w.loop.dispatch(PointerRelease{.pos = {20, 380}});
  for (const std::string& line : w.log)
    EXPECT_EQ(line.rfind("list:", 0), std::string::npos) << line;
  EXPECT_EQ(w.focused(), "ok");

  dialog.modal = false;
  w.frame();
  EXPECT_EQ(w.focused(), "list");
}
