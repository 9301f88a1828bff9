#include "zarn_ui/qt/event_translate.h"

#include <gtest/gtest.h>

using namespace zarn_ui;

TEST(QtEvents, KeysBecomeNamedKeysOrChordsWithModifiers) {
  struct Case {
    int qt_key;
    Qt::KeyboardModifiers mods;
    QString text;
    Key key;
    std::string want_text;
    Modifiers want_mods;
  } cases[] = {
      {Qt::Key_F5, Qt::NoModifier, "", Key::F5, "", {}},
      {Qt::Key_Escape, Qt::NoModifier, "\x1b", Key::Escape, "", {}},
      {Qt::Key_Return, Qt::NoModifier, "\r", Key::Enter, "", {}},
      {Qt::Key_Backtab, Qt::ShiftModifier, "", Key::Tab, "", {.shift = true}},
      {Qt::Key_A, Qt::ControlModifier, "\x01", Key::Character, "a", {.ctrl = true}},
      {Qt::Key_R,
       Qt::ControlModifier | Qt::ShiftModifier,
       "\x12",
       Key::Character,
       "r",
       {.shift = true, .ctrl = true}},
      {Qt::Key_K, Qt::MetaModifier, "k", Key::Character, "k", {.command = true}},
      {Qt::Key_N, Qt::AltModifier, "n", Key::Character, "n", {.alt = true}},
      {Qt::Key_Space, Qt::NoModifier, " ", Key::Space, " ", {}},
      {Qt::Key_Space, Qt::ShiftModifier, " ", Key::Space, " ", {.shift = true}},
  };
  for (const Case& c : cases) {
    QKeyEvent e(QEvent::KeyPress, c.qt_key, c.mods, c.text);
    auto ev = qt::translate_key(e, true);
    ASSERT_TRUE(ev) << c.qt_key;
    ASSERT_TRUE(std::holds_alternative<KeyPress>(*ev)) << c.qt_key;
    const auto& press = std::get<KeyPress>(*ev);
    EXPECT_EQ(press.key, c.key) << c.qt_key;
    EXPECT_EQ(press.text, c.want_text) << c.qt_key;
    EXPECT_EQ(press.mods, c.want_mods) << c.qt_key;
  }
  QKeyEvent shift_alone(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
  EXPECT_FALSE(qt::translate_key(shift_alone, true));
}

// A typed character arrives once, as text: never also as a key press that a
// shortcut table would take for "r" or "?".
TEST(QtEvents, TypedCharactersArriveOnlyAsText) {
  struct Case {
    int qt_key;
    Qt::KeyboardModifiers mods;
    QString text;
  } cases[] = {
      {Qt::Key_R, Qt::NoModifier, "r"},
      {Qt::Key_Question, Qt::ShiftModifier, "?"},
      {Qt::Key_R, Qt::ShiftModifier, "R"},
      {Qt::Key_Eacute, Qt::NoModifier, QString::fromUtf8("é")},
      {Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("ж")},
  };
  for (const Case& c : cases) {
    QKeyEvent e(QEvent::KeyPress, c.qt_key, c.mods, c.text);
    auto ev = qt::translate_key(e, true);
    ASSERT_TRUE(ev) << c.text.toStdString();
    const auto* text = std::get_if<TextEvent>(&*ev);
    ASSERT_NE(text, nullptr) << c.text.toStdString();
    EXPECT_EQ(text->text, c.text.toStdString());
  }
  // Delete's text is the DEL control character: it stays a named key.
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, "\x7f");
  EXPECT_EQ(std::get<KeyPress>(*qt::translate_key(del, true)).key, Key::Delete);
}

TEST(QtEvents, PointerPositionsAreDividedByTheScaleFactor) {
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(200, 100), QPointF(200, 100), Qt::RightButton,
                    Qt::RightButton, Qt::ShiftModifier);
  auto ev = std::get<PointerPress>(qt::translate_mouse(press, 2.0));
  EXPECT_EQ(ev.pos, (Point{100, 50}));
  EXPECT_EQ(ev.button, PointerButton::Right);
  EXPECT_TRUE(ev.mods.shift);

  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  EXPECT_TRUE(std::holds_alternative<PointerRelease>(qt::translate_mouse(release, 1.0)));

  QWheelEvent notch(QPointF(40, 60), QPointF(40, 60), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  auto wheel = std::get<Wheel>(qt::translate_wheel(notch, 2.0));
  EXPECT_EQ(wheel.unit, Wheel::Unit::Lines);
  EXPECT_FLOAT_EQ(wheel.dy, 3);  // one notch down scrolls three lines towards the end
  EXPECT_EQ(wheel.pos, (Point{20, 30}));

  QWheelEvent pixels(QPointF(0, 0), QPointF(0, 0), QPoint(0, -30), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
  auto precise = std::get<Wheel>(qt::translate_wheel(pixels, 1.0));
  EXPECT_EQ(precise.unit, Wheel::Unit::Pixels);
  EXPECT_FLOAT_EQ(precise.dy, 30);
}

// An input method composes (pre-edit) and then commits: the committed text
// arrives once as text, and the composition ends with an empty pre-edit.
TEST(QtEvents, InputMethodCompositionThenCommit) {
  QList<QInputMethodEvent::Attribute> attrs{{QInputMethodEvent::Cursor, 1, 1}};
  QInputMethodEvent composing(QString::fromUtf8("ñx"), attrs);
  auto first = qt::translate_input_method(composing, false);
  ASSERT_EQ(first.size(), 1u);
  const auto& pre = std::get<Preedit>(first[0]);
  EXPECT_EQ(pre.text, "ñx");
  EXPECT_EQ(pre.cursor, 2);  // after "ñ", two bytes of UTF-8

  QInputMethodEvent commit(QString(), {});
  commit.setCommitString(QString::fromUtf8("ñ"));
  auto second = qt::translate_input_method(commit, true);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(std::get<TextEvent>(second[0]).text, "ñ");
  EXPECT_EQ(std::get<Preedit>(second[1]).text, "");

  // Nothing composed and nothing committed: nothing to tell.
  QInputMethodEvent empty(QString(), {});
  EXPECT_TRUE(qt::translate_input_method(empty, false).empty());
}
