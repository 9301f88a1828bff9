// The single-line text field driven by events, with fixed text metrics and a
// clipboard in memory.
#include "zarn_ui/text_input.h"

#include <gtest/gtest.h>

#include "support/fake_text.h"

using namespace zarn_ui;

namespace {

struct Field {
  testing_support::FakeText text;
  MemoryClipboard clipboard;
  TextInput input;
  EventContext ctx;

  explicit Field(std::string_view initial = "", InputKind kind = InputKind::Text)
      : input(TextInput::local()
                  .with_kind(kind)
                  .with_initial_value(initial)
                  .with_placeholder("Search")
                  .with_clipboard(clipboard)) {
    LayoutContext layout{text};
    input.apply_layout(Rect::xywh(0, 0, 400, 30), layout);
    send(FocusIn{FocusReason::Pointer});
  }
  EventResult send(const Event& e) { return input.handle_event(e, ctx); }
  EventResult key(Key k, Modifiers mods = {}) { return send(KeyPress{.key = k, .mods = mods}); }
  EventResult chord(const char* letter, Modifiers mods = {.ctrl = true}) {
    return send(KeyPress{.key = Key::Character, .text = letter, .mods = mods});
  }
  void type(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); i += utf8_char_length(s, i)) {
      send(TextEvent{std::string(s.substr(i, utf8_char_length(s, i)))});
    }
  }
};

constexpr Modifiers kShift{.shift = true};
constexpr Modifiers kCtrl{.ctrl = true};
constexpr Modifiers kShiftCtrl{.shift = true, .ctrl = true};

}  // namespace

TEST(TextInput, ATypedCharacterIsInsertedOnceAndItsKeyPressGoesNoFurther) {
  Field f;
  // The key press of a typed character never reaches a parent's shortcuts…
  EXPECT_EQ(f.send(KeyPress{.key = Key::Character, .text = "r"}), EventResult::Handled);
  EXPECT_EQ(f.input.text(), "");
  // …and its text arrives once.
  EXPECT_EQ(f.send(TextEvent{"r"}), EventResult::Handled);
  EXPECT_EQ(f.input.text(), "r");
  EXPECT_TRUE(f.input.take_changed());
  EXPECT_FALSE(f.input.take_changed());
  // Keys a field has no use for go to its parent.
  for (Key k : {Key::Enter, Key::Escape, Key::Tab, Key::Up, Key::Down, Key::F5}) {
    EXPECT_EQ(f.key(k), EventResult::Ignored);
  }
  EXPECT_EQ(f.chord("r"), EventResult::Ignored);  // Ctrl+R belongs to the window
  // Without focus a field takes no keys and no text.
  f.send(FocusOut{});
  EXPECT_EQ(f.send(TextEvent{"x"}), EventResult::Ignored);
  EXPECT_EQ(f.key(Key::Left), EventResult::Ignored);
  EXPECT_EQ(f.input.text(), "r");
}

TEST(TextInput, CompositionIsShownApartAndTheCommittedTextIsInsertedOnce) {
  Field f("ab");
  f.key(Key::Left);
  f.send(Preedit{"k", 1});
  f.send(Preedit{"\u304B", 3});
  EXPECT_EQ(f.input.text(), "ab");
  EXPECT_EQ(f.input.preedit(), "\u304B");
  // Keys go to the input method while it composes.
  EXPECT_EQ(f.key(Key::Backspace), EventResult::Handled);
  EXPECT_EQ(f.input.text(), "ab");
  f.send(TextEvent{"\u304B"});
  EXPECT_EQ(f.input.text(), "a\u304Bb");
  EXPECT_EQ(f.input.preedit(), "");
  EXPECT_EQ(f.input.caret(), 2u);

  // A composition over a selection replaces it; one abandoned on focus loss leaves nothing.
  f.chord("a");
  f.send(Preedit{"n", 1});
  EXPECT_EQ(f.input.text(), "");
  f.send(FocusOut{});
  EXPECT_EQ(f.input.preedit(), "");
  EXPECT_EQ(f.input.text(), "");
  f.chord("z");  // not focused: nothing
  f.send(FocusIn{});
  f.chord("z");
  EXPECT_EQ(f.input.text(), "a\u304Bb");
}

TEST(TextInput, PastedLineBreaksNeverMakeASecondLine) {
  struct Case {
    std::string clip, want;
  } cases[] = {
      {"foo\nbar", "foo bar"},
      {"hunter2\n", "hunter2"},  // copied with its line break
      {"\r\nline one\r\n\r\nline two\r\n", "line one line two"},
      {"a\tb\x01z", "a bz"},
      {"\u2028", ""},
  };
  for (const Case& c : cases) {
    Field f;
    f.clipboard.set_text(c.clip);
    EXPECT_EQ(f.chord("v"), EventResult::Handled);
    EXPECT_EQ(f.input.text(), c.want) << c.clip;
    EXPECT_EQ(f.input.caret(), utf8_char_count(c.want));
  }
  // A paste replaces the selection and is undone in one step.
  Field f("keep REPLACE keep");
  f.input.select(5, 12);
  f.clipboard.set_text("new\ntext");
  f.chord("v");
  EXPECT_EQ(f.input.text(), "keep new text keep");
  f.chord("z");
  EXPECT_EQ(f.input.text(), "keep REPLACE keep");
}

TEST(TextInput, UndoAfterCutBringsTheTextAndSelectionBack) {
  Field f("hello world");
  f.key(Key::Left, kShiftCtrl);
  EXPECT_EQ(f.input.selected_text(), "world");
  f.chord("x");
  EXPECT_EQ(f.input.text(), "hello ");
  EXPECT_EQ(f.clipboard.text(), "world");
  f.chord("z");
  EXPECT_EQ(f.input.text(), "hello world");
  EXPECT_EQ(f.input.selected_text(), "world");
  f.chord("z", kShiftCtrl);  // redo
  EXPECT_EQ(f.input.text(), "hello ");
  f.chord("z");
  f.chord("y");
  EXPECT_EQ(f.input.text(), "hello ");
  EXPECT_FALSE(f.input.can_redo());
}

TEST(TextInput, TypingAndDeletingUndoAsOneStepEach) {
  Field f;
  f.type("abc");
  f.type(" de");
  f.key(Key::Backspace);
  f.key(Key::Backspace);
  EXPECT_EQ(f.input.text(), "abc ");
  f.chord("z");
  EXPECT_EQ(f.input.text(), "abc de");
  f.chord("z");
  EXPECT_EQ(f.input.text(), "");
  EXPECT_FALSE(f.input.can_undo());
  // Moving the caret ends a typing step.
  f.chord("y");
  f.key(Key::Home);
  f.type("X");
  f.chord("z");
  EXPECT_EQ(f.input.text(), "abc de");
}

TEST(TextInput, ShiftCtrlLeftSelectsWordByWordAcrossBoundaries) {
  Field f("alpha beta, gamma");
  struct Step {
    Key key;
    Modifiers mods;
    std::string selected;
  } steps[] = {
      {Key::Left, kShiftCtrl, "gamma"},
      {Key::Left, kShiftCtrl, ", gamma"},
      {Key::Left, kShiftCtrl, "beta, gamma"},
      {Key::Left, kShiftCtrl, "alpha beta, gamma"},
      {Key::Left, kShiftCtrl, "alpha beta, gamma"},  // at the start already
      {Key::Right, kShiftCtrl, " beta, gamma"},
      {Key::Right, kShift, "beta, gamma"},
      {Key::Left, {}, ""},  // collapses to the selection's start
  };
  for (const Step& s : steps) {
    f.key(s.key, s.mods);
    EXPECT_EQ(f.input.selected_text(), s.selected);
  }
  EXPECT_EQ(f.input.caret(), 6u);
  // From inside a word, to that word's start.
  f.input.select(9, 9);  // "alpha bet|a"
  f.key(Key::Left, kShiftCtrl);
  EXPECT_EQ(f.input.selected_text(), "bet");
  f.key(Key::End, kShift);  // the anchor stays where the selection began
  EXPECT_EQ(f.input.selected_text(), "a, gamma");
}

TEST(TextInput, CaretStepsAndDeletesWholeGraphemes) {
  Field f("e\u0301\U0001F44D\U0001F3FDx");
  f.key(Key::Home);
  f.key(Key::Right);
  EXPECT_EQ(f.input.caret(), 2u);
  f.key(Key::Right);
  EXPECT_EQ(f.input.caret(), 4u);
  f.key(Key::Backspace);
  EXPECT_EQ(f.input.text(), "e\u0301x");
  f.key(Key::Delete, kCtrl);
  EXPECT_EQ(f.input.text(), "e\u0301");
}

TEST(TextInput, APasswordFieldNeverGivesItsTextAway) {
  Field f("hunter2", InputKind::Password);
  f.clipboard.set_text("before");
  f.chord("a");
  f.chord("c");
  EXPECT_EQ(f.clipboard.text(), "before");
  f.chord("x");
  EXPECT_EQ(f.clipboard.text(), "before");
  EXPECT_EQ(f.input.text(), "hunter2");  // a refused cut keeps the text
  const AccessNode node = f.input.accessibility();
  EXPECT_EQ(node.role, AccessRole::TextField);
  EXPECT_FALSE(node.value.has_value());
  EXPECT_EQ(node.name.find("hunter2"), std::string::npos);
  // Pasting into it works as anywhere.
  f.clipboard.set_text("s3cret\n");
  f.chord("v");
  EXPECT_EQ(f.input.text(), "s3cret");
  // Word movement does not reveal where its words are.
  f.input.set_text("two words");
  f.key(Key::Left, kCtrl);
  EXPECT_EQ(f.input.caret(), 0u);
}

TEST(TextInput, PointerPlacesTheCaretDragsASelectionAndAsksForFocus) {
  Field f("hello world");  // 7.8 points per character, text starting 8 in
  f.send(FocusOut{});
  EventContext ctx;
  auto x_of = [](int offset) { return 8 + 7.8f * static_cast<float>(offset); };
  EXPECT_EQ(f.input.handle_event(PointerPress{.pos = {x_of(2) + 1, 15}}, ctx),
            EventResult::Handled);
  EXPECT_TRUE(ctx.request_focus);
  EXPECT_EQ(f.input.caret(), 2u);
  f.send(PointerMove{.pos = {x_of(7) - 2, 15}});
  f.send(PointerMove{.pos = {x_of(5), 40}});  // off the field: still dragging
  f.send(PointerRelease{.pos = {x_of(5), 40}});
  EXPECT_EQ(f.input.selected_text(), "llo");
  f.send(PointerMove{.pos = {x_of(9), 15}});  // released: no more selecting
  EXPECT_EQ(f.input.selected_text(), "llo");
  f.send(PointerPress{.pos = {x_of(8), 15}, .clicks = 2});
  EXPECT_EQ(f.input.selected_text(), "world");
  EXPECT_EQ(f.send(PointerPress{.pos = {500, 15}}), EventResult::Ignored);
}

TEST(TextInput, AccessibilityShowsTheTextAndSetValueReplacesIt) {
  Field f("inbox");
  AccessNode node = f.input.accessibility();
  EXPECT_EQ(node.name, "Search");
  EXPECT_EQ(node.value, "inbox");
  SyncContext sync;
  EXPECT_TRUE(f.input.perform_semantic_action("", SemanticAction::SetValue, "sent\nmail", sync));
  EXPECT_EQ(f.input.text(), "sent mail");
  f.chord("z");
  EXPECT_EQ(f.input.text(), "inbox");
}
