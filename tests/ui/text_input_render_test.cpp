// The text field drawn through Qt, input-method events from Qt, and the
// desktop clipboard, offscreen.
#include <gtest/gtest.h>

#include <QInputMethodEvent>

#include "zarn_ui/qt/event_translate.h"
#include "zarn_ui/qt/qt_clipboard.h"
#include "zarn_ui/qt/qt_painter.h"
#include "zarn_ui/text_input.h"

using namespace zarn_ui;

namespace {

const Rect kBounds = Rect::xywh(10, 10, 300, 32);

QImage render(TextInput& input) {
  static qt::QtTextRenderer text;
  LayoutContext layout{text};
  input.apply_layout(kBounds, layout);
  QImage image(320, 52, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::black);
  QPainter qp(&image);
  qt::QtPainter painter(qp, text);
  DrawContext ctx{painter};  // at the clock's epoch: a focused caret is shown
  input.draw_with_presence(ctx);
  return image;
}

QRect differing(const QImage& a, const QImage& b) {
  QRect out;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if (a.pixel(x, y) != b.pixel(x, y)) out |= QRect(x, y, 1, 1);
    }
  }
  return out;
}

void send_all(TextInput& input, const std::vector<Event>& events) {
  EventContext ctx;
  for (const Event& e : events) input.handle_event(e, ctx);
}

}  // namespace

TEST(QtTextInput, APasswordIsDrawnAsBulletsOnly) {
  TextInput password =
      TextInput::local().with_kind(InputKind::Password).with_initial_value("hunter2");
  TextInput bullets =
      TextInput::local().with_initial_value("\u2022\u2022\u2022\u2022\u2022\u2022\u2022");
  TextInput plain = TextInput::local().with_initial_value("hunter2");
  const QImage shown = render(password);
  EXPECT_TRUE(differing(shown, render(bullets)).isEmpty());
  EXPECT_FALSE(differing(shown, render(plain)).isEmpty());
}

TEST(QtTextInput, CompositionIsUnderlinedAndItsCommitDrawsAsTypedText) {
  TextInput composing = TextInput::local().with_initial_value("a");
  TextInput typed = TextInput::local().with_initial_value("a");
  EventContext ctx;
  for (TextInput* input : {&composing, &typed}) input->handle_event(FocusIn{}, ctx);
  composing.handle_event(Preedit{"\u304B\u306A", 6}, ctx);
  typed.handle_event(TextEvent{"\u304B\u306A"}, ctx);
  const QRect underline = differing(render(composing), render(typed));
  ASSERT_FALSE(underline.isEmpty());
  EXPECT_LE(underline.height(), 3);                // a line, not glyphs
  EXPECT_GT(underline.width(), 14);                // under both characters
  EXPECT_GT(underline.top(), kBounds.center().y);  // below the middle of the text
  // Committing the same text leaves nothing to tell the two apart.
  composing.handle_event(TextEvent{"\u304B\u306A"}, ctx);
  EXPECT_EQ(composing.text(), typed.text());
  EXPECT_TRUE(differing(render(composing), render(typed)).isEmpty());
}

TEST(QtInputMethod, CompositionAndCommitBecomePreeditAndOneTextEvent) {
  QList<QInputMethodEvent::Attribute> attributes{
      QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, 1, 1)};
  const auto composing =
      qt::translate_input_method(QInputMethodEvent("\u304B\u306A", attributes), false);
  ASSERT_EQ(composing.size(), 1u);
  const auto* preedit = std::get_if<Preedit>(&composing[0]);
  ASSERT_NE(preedit, nullptr);
  EXPECT_EQ(preedit->text, "\u304B\u306A");
  EXPECT_EQ(preedit->cursor, 3);  // bytes: after the first character

  QInputMethodEvent commit_and_more("\u3082", {});
  commit_and_more.setCommitString("\u6F22\u5B57");
  const auto both = qt::translate_input_method(commit_and_more, true);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(std::get<TextEvent>(both[0]).text, "\u6F22\u5B57");
  EXPECT_EQ(std::get<Preedit>(both[1]).text, "\u3082");

  const auto cancelled = qt::translate_input_method(QInputMethodEvent(), true);
  ASSERT_EQ(cancelled.size(), 1u);
  EXPECT_EQ(std::get<Preedit>(cancelled[0]).text, "");

  // Through a field: a composition then its commit inserts the text once.
  TextInput input = TextInput::local();
  send_all(input, {FocusIn{}});
  send_all(input, composing);
  QInputMethodEvent commit;
  commit.setCommitString("\u304B\u306A");
  send_all(input, qt::translate_input_method(commit, true));
  EXPECT_EQ(input.text(), "\u304B\u306A");
  EXPECT_EQ(input.preedit(), "");
}

TEST(QtClipboard, FieldsCopyAndPasteThroughTheDesktopClipboard) {
  qt::QtClipboard clipboard;
  TextInput from =
      TextInput::local().with_initial_value("Launch plan \U0001F680").with_clipboard(clipboard);
  TextInput to = TextInput::local().with_clipboard(clipboard);
  EventContext ctx;
  from.handle_event(FocusIn{}, ctx);
  to.handle_event(FocusIn{}, ctx);
  from.handle_event(KeyPress{.key = Key::Character, .text = "a", .mods = {.ctrl = true}}, ctx);
  from.handle_event(KeyPress{.key = Key::Character, .text = "c", .mods = {.ctrl = true}}, ctx);
  EXPECT_EQ(clipboard.text(), "Launch plan \U0001F680");
  to.handle_event(KeyPress{.key = Key::Character, .text = "v", .mods = {.ctrl = true}}, ctx);
  EXPECT_EQ(to.text(), "Launch plan \U0001F680");
}
