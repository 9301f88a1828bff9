#include "zarn_ui/text_input.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "zarn_ui/painter.h"

namespace zarn_ui {

namespace {

constexpr std::size_t kUndoDepth = 100;
constexpr auto kBlinkHalfPeriod = std::chrono::milliseconds(530);
constexpr float kPadding = 8;
constexpr char32_t kBullet = 0x2022;

bool is_line_break(char32_t c) {
  return c == '\n' || c == '\r' || c == 0x0b || c == 0x0c || c == 0x85 || c == 0x2028 ||
         c == 0x2029;
}

// Until the field is laid out it answers caret questions with one unit per character.
class CharacterCells : public TextRenderer {
 public:
  float measure(std::string_view text, const TextStyle&) override {
    return static_cast<float>(utf8_char_count(text));
  }
  float line_height(const TextStyle&) override { return 1; }
  float ascent(const TextStyle&) override { return 1; }
  void draw(Painter&, std::string_view, Point, const TextStyle&) override {}
};

bool chord(const KeyPress& key, char letter) {
  return key.key == Key::Character && key.text.size() == 1 &&
         std::tolower(static_cast<unsigned char>(key.text[0])) == letter;
}

}  // namespace

std::u32string single_line_text(std::u32string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && is_line_break(text[begin])) ++begin;
  while (end > begin && is_line_break(text[end - 1])) --end;
  std::u32string out;
  out.reserve(end - begin);
  for (std::size_t i = begin; i < end; ++i) {
    const char32_t c = text[i];
    if (is_line_break(c)) {
      if (out.empty() || out.back() != ' ' || !is_line_break(text[i - 1])) out.push_back(' ');
    } else if (c == '\t') {
      out.push_back(' ');
    } else if (c >= 0x20 && c != 0x7f && !(c >= 0x80 && c < 0xa0)) {
      out.push_back(c);
    }
  }
  return out;
}

// ---- construction ---------------------------------------------------------------------

TextInput TextInput::local() {
  return TextInput();
}

TextInput TextInput::with_kind(InputKind kind) && {
  kind_ = kind;
  layout_.reset();
  return std::move(*this);
}

TextInput TextInput::with_initial_value(std::string_view text) && {
  set_text(text);
  return std::move(*this);
}

TextInput TextInput::with_placeholder(std::string_view text) && {
  placeholder_ = std::string(text);
  placeholder_layout_.reset();
  return std::move(*this);
}

TextInput TextInput::with_label(std::string_view accessible_name) && {
  label_ = std::string(accessible_name);
  return std::move(*this);
}

TextInput TextInput::with_clipboard(Clipboard& clipboard) && {
  clipboard_ = &clipboard;
  return std::move(*this);
}

TextInput TextInput::with_theme(const Theme& theme) && {
  theme_ = theme;
  layout_.reset();
  placeholder_layout_.reset();
  return std::move(*this);
}

// ---- state ----------------------------------------------------------------------------

std::string TextInput::text() const {
  return encode_utf8(text_);
}

void TextInput::set_text(std::string_view text) {
  const std::u32string next = single_line_text(decode_utf8(text));
  if (next != text_) changed_ = true;
  text_ = next;
  caret_ = anchor_ = text_.size();
  preedit_.clear();
  preedit_cursor_ = 0;
  undo_.clear();
  redo_.clear();
  last_edit_ = EditKind::None;
  touched();
}

std::string TextInput::selected_text() const {
  const auto [from, to] = std::minmax(caret_, anchor_);
  return encode_utf8(std::u32string_view(text_).substr(from, to - from));
}

void TextInput::select(std::size_t anchor, std::size_t caret) {
  anchor_ = std::min(anchor, text_.size());
  caret_ = std::min(caret, text_.size());
  last_edit_ = EditKind::None;
  touched();
}

std::string TextInput::preedit() const {
  return encode_utf8(preedit_);
}

bool TextInput::take_changed() {
  return std::exchange(changed_, false);
}

void TextInput::touched() {
  layout_.reset();
  blink_start_ = Clock::now();
}

// ---- layout ---------------------------------------------------------------------------

const RichTextLayout& TextInput::shown_layout() const {
  if (layout_ == nullptr) {
    static CharacterCells cells;
    TextRenderer& renderer = renderer_ != nullptr ? *renderer_ : cells;
    const TextStyle style{.size = theme_.text(theme_.type.body), .color = theme_.colors.text};
    const std::u32string shown = is_password() ? std::u32string(text_.size(), kBullet) : text_;
    std::vector<RichRun> runs;
    runs.push_back({encode_utf8(std::u32string_view(shown).substr(0, caret_)), style});
    if (!preedit_.empty()) {
      TextStyle composing = style;
      composing.underline = true;
      runs.push_back({encode_utf8(preedit_), composing});
    }
    runs.push_back({encode_utf8(std::u32string_view(shown).substr(caret_)), style});
    layout_ = renderer.layout(runs, ParagraphOptions{});
  }
  return *layout_;
}

std::size_t TextInput::to_display(std::size_t offset) const {
  return offset <= caret_ ? offset : offset + preedit_.size();
}

std::size_t TextInput::from_display(std::size_t offset) const {
  if (offset <= caret_) return offset;
  if (offset < caret_ + preedit_.size()) return caret_;
  return offset - preedit_.size();
}

void TextInput::apply_layout(const Rect& bounds, LayoutContext& ctx) {
  if (renderer_ != &ctx.text) {
    layout_.reset();
    placeholder_layout_.reset();
  }
  renderer_ = &ctx.text;
  bounds_ = bounds;
  keep_caret_visible();
}

Point TextInput::text_origin() const {
  const RichTextLayout& layout = shown_layout();
  return {bounds_.left + kPadding - scroll_x_,
          bounds_.top + (bounds_.height() - layout.height()) / 2};
}

void TextInput::keep_caret_visible() {
  const RichTextLayout& layout = shown_layout();
  const float room = std::max(0.0f, bounds_.width() - 2 * kPadding);
  const float x = layout.caret_geometry(to_display(caret_) + preedit_cursor_).x;
  if (x - scroll_x_ > room) scroll_x_ = x - room;
  if (x - scroll_x_ < 0) scroll_x_ = x;
  scroll_x_ = std::clamp(scroll_x_, 0.0f, std::max(0.0f, layout.width() - room + 1));
}

std::size_t TextInput::offset_at(Point p) const {
  const Point origin = text_origin();
  return from_display(shown_layout().hit({p.x - origin.x, p.y - origin.y}));
}

// ---- drawing --------------------------------------------------------------------------

bool TextInput::caret_visible(Instant now) const {
  if (!focused_) return false;
  const auto elapsed = now - blink_start_;
  return elapsed < kBlinkHalfPeriod || (elapsed / kBlinkHalfPeriod) % 2 == 0;
}

std::optional<Instant> TextInput::next_wake_up() const {
  if (!focused_) return std::nullopt;
  const auto elapsed = Clock::now() - blink_start_;
  const auto periods = elapsed / kBlinkHalfPeriod + 1;
  return blink_start_ + periods * kBlinkHalfPeriod;
}

void TextInput::draw_with_presence(DrawContext& ctx) {
  Painter& p = ctx.painter;
  const ColorTokens& c = theme_.colors;
  const float radius = theme_.spacing.radius_small;
  p.fill_rounded_rect(bounds_, radius, c.surface_sunken);
  p.stroke_rounded_rect(bounds_.inset(0.5f), radius, focused_ ? c.accent : c.border,
                        focused_ ? 1.5f : 1);
  if (renderer_ == nullptr) renderer_ = &p.text();

  p.save();
  p.clip(bounds_.inset(2));
  const RichTextLayout& layout = shown_layout();
  const Point origin = text_origin();
  if (text_.empty() && preedit_.empty() && !placeholder_.empty()) {
    if (placeholder_layout_ == nullptr) {
      placeholder_layout_ = renderer_->paragraph(
          placeholder_, TextStyle{.size = theme_.text(theme_.type.body), .color = c.text_faint}, 0);
    }
    placeholder_layout_->draw(p, {bounds_.left + kPadding, origin.y});
  }
  if (focused_ && has_selection()) {
    for (const Rect& r : layout.selection_rects(to_display(anchor_), to_display(caret_))) {
      p.fill_rect(r.translated(origin.x, origin.y), c.selection);
    }
  }
  layout.draw(p, origin);
  if (caret_visible(ctx.now)) {
    const CaretGeometry caret = layout.caret_geometry(to_display(caret_) + preedit_cursor_);
    const float x = origin.x + caret.x;
    p.line({x, origin.y + caret.top + 1}, {x, origin.y + caret.top + caret.height - 1}, c.text,
           1.5f, LineCap::Butt);
  }
  p.restore();
}

// ---- editing --------------------------------------------------------------------------

void TextInput::record_undo(EditKind kind) {
  // Typing or deleting on from where the last such edit stopped is one step.
  const bool continues = kind != EditKind::Other && kind == last_edit_ && !has_selection();
  if (!continues) {
    undo_.push_back({text_, caret_, anchor_});
    if (undo_.size() > kUndoDepth) undo_.erase(undo_.begin());
  }
  redo_.clear();
  last_edit_ = kind;
}

void TextInput::replace_selection(std::u32string_view chars, EditKind kind) {
  const auto [from, to] = std::minmax(caret_, anchor_);
  if (from == to && chars.empty()) return;
  record_undo(kind);
  text_.replace(from, to - from, chars);
  caret_ = anchor_ = from + chars.size();
  changed_ = true;
  touched();
}

void TextInput::delete_range(std::size_t from, std::size_t to, EditKind kind) {
  if (from > to) std::swap(from, to);
  to = std::min(to, text_.size());
  if (from >= to) return;
  record_undo(kind);
  text_.erase(from, to - from);
  caret_ = anchor_ = from;
  changed_ = true;
  touched();
}

void TextInput::insert_text(std::string_view utf8, EditKind kind) {
  const std::u32string chars = single_line_text(decode_utf8(utf8));
  if (chars.empty() && !has_selection()) return;
  replace_selection(chars, kind);
}

void TextInput::move_to(std::size_t offset, bool extend) {
  caret_ = std::min(offset, text_.size());
  if (!extend) anchor_ = caret_;
  last_edit_ = EditKind::None;
  touched();
}

void TextInput::undo() {
  step_history(undo_, redo_);
}

void TextInput::redo() {
  step_history(redo_, undo_);
}

// Restores the newest snapshot of `from`, keeping the present one in `to`.
void TextInput::step_history(std::vector<Snapshot>& from, std::vector<Snapshot>& to) {
  if (from.empty()) return;
  to.push_back({text_, caret_, anchor_});
  const Snapshot s = std::move(from.back());
  from.pop_back();
  text_ = s.text;
  caret_ = s.caret;
  anchor_ = s.anchor;
  last_edit_ = EditKind::None;
  changed_ = true;
  touched();
}

void TextInput::copy() {
  if (is_password() || !has_selection()) return;
  clipboard().set_text(selected_text());
}

void TextInput::cut() {
  if (is_password() || !has_selection()) return;
  clipboard().set_text(selected_text());
  replace_selection({}, EditKind::Other);
}

void TextInput::paste() {
  const std::optional<std::string> pasted = clipboard().text();
  if (!pasted) return;
  insert_text(*pasted, EditKind::Other);
}

void TextInput::set_preedit(const Preedit& preedit) {
  const std::u32string chars = decode_utf8(preedit.text);
  if (!chars.empty() && preedit_.empty() && has_selection()) replace_selection({}, EditKind::Other);
  preedit_ = chars;
  const std::size_t cursor_bytes =
      std::min(static_cast<std::size_t>(std::max(preedit.cursor, 0)), preedit.text.size());
  preedit_cursor_ = utf8_char_count(std::string_view(preedit.text).substr(0, cursor_bytes));
  touched();
}

// ---- input ----------------------------------------------------------------------------

EventResult TextInput::handle_event(const Event& event, EventContext& ctx) {
  if (const auto* key = std::get_if<KeyPress>(&event)) {
    return focused_ ? handle_key(*key, ctx) : EventResult::Ignored;
  }
  if (const auto* typed = std::get_if<TextEvent>(&event)) {
    if (!focused_) return EventResult::Ignored;
    preedit_.clear();
    preedit_cursor_ = 0;
    // One typed character after another extends one undo step; a longer commit is its own.
    insert_text(typed->text,
                utf8_char_count(typed->text) == 1 ? EditKind::Typing : EditKind::Other);
    keep_caret_visible();
    return EventResult::Handled;
  }
  if (const auto* composing = std::get_if<Preedit>(&event)) {
    if (!focused_) return EventResult::Ignored;
    set_preedit(*composing);
    keep_caret_visible();
    return EventResult::Handled;
  }
  if (const auto* in = std::get_if<FocusIn>(&event)) {
    focused_ = true;
    if (in->reason == FocusReason::Tab) select_all();
    touched();
    return EventResult::Handled;
  }
  if (std::holds_alternative<FocusOut>(event)) {
    focused_ = false;
    dragging_ = false;
    preedit_.clear();
    preedit_cursor_ = 0;
    last_edit_ = EditKind::None;
    touched();
    return EventResult::Handled;
  }
  if (const auto* press = std::get_if<PointerPress>(&event)) {
    return handle_pointer_press(*press, ctx);
  }
  if (const auto* move = std::get_if<PointerMove>(&event)) {
    if (!dragging_) return EventResult::Ignored;
    move_to(offset_at(move->pos), true);
    keep_caret_visible();
    return EventResult::Handled;
  }
  if (std::holds_alternative<PointerRelease>(event)) {
    if (!dragging_) return EventResult::Ignored;
    dragging_ = false;
    return EventResult::Handled;
  }
  return EventResult::Ignored;
}

EventResult TextInput::handle_pointer_press(const PointerPress& press, EventContext& ctx) {
  if (press.button != PointerButton::Left || !bounds_.contains(press.pos)) {
    return EventResult::Ignored;
  }
  ctx.request_focus = true;
  preedit_.clear();
  preedit_cursor_ = 0;
  const std::size_t at = offset_at(press.pos);
  if (press.clicks >= 3) {
    select_all();
  } else if (press.clicks == 2) {
    // The word the press is in (or the next one).
    const RichTextLayout& layout = shown_layout();
    const std::size_t end = layout.next_word(to_display(at));
    select(from_display(layout.previous_word(end)), from_display(end));
  } else {
    move_to(at, press.mods.shift);
    dragging_ = true;
  }
  keep_caret_visible();
  return EventResult::Handled;
}

EventResult TextInput::handle_key(const KeyPress& key, EventContext& /*ctx*/) {
  const bool shift = key.mods.shift;
  const bool ctrl = key.mods.ctrl || key.mods.command;
  const RichTextLayout& layout = shown_layout();
  // While composing, the input method owns the keys.
  if (!preedit_.empty()) return EventResult::Handled;
  const std::size_t d = to_display(caret_);
  const auto [from, to] = std::minmax(caret_, anchor_);
  switch (key.key) {
    case Key::Left:
      if (!shift && !ctrl && has_selection()) {
        move_to(from, false);
      } else {
        move_to(ctrl ? layout.previous_word(d) : layout.previous_boundary(d), shift);
      }
      break;
    case Key::Right:
      if (!shift && !ctrl && has_selection()) {
        move_to(to, false);
      } else {
        move_to(ctrl ? layout.next_word(d) : layout.next_boundary(d), shift);
      }
      break;
    case Key::Home:
      move_to(0, shift);
      break;
    case Key::End:
      move_to(text_.size(), shift);
      break;
    case Key::Backspace:
      if (has_selection()) {
        replace_selection({}, EditKind::Other);
      } else {
        delete_range(ctrl ? layout.previous_word(d) : layout.previous_boundary(d), caret_,
                     ctrl ? EditKind::Other : EditKind::Deleting);
      }
      break;
    case Key::Delete:
      if (has_selection()) {
        replace_selection({}, EditKind::Other);
      } else {
        delete_range(caret_, ctrl ? layout.next_word(d) : layout.next_boundary(d),
                     ctrl ? EditKind::Other : EditKind::Deleting);
      }
      break;
    case Key::Character:
      if (!ctrl || key.mods.alt) {
        // Typed characters arrive as TextEvent; a bare key press is swallowed so
        // that no shortcut of a parent acts on it while the field has focus.
        return key.mods.alt ? EventResult::Ignored : EventResult::Handled;
      }
      if (chord(key, 'a')) {
        select_all();
      } else if (chord(key, 'c')) {
        copy();
      } else if (chord(key, 'x')) {
        cut();
      } else if (chord(key, 'v')) {
        paste();
      } else if (chord(key, 'z')) {
        shift ? redo() : undo();
      } else if (chord(key, 'y')) {
        redo();
      } else {
        return EventResult::Ignored;
      }
      break;
    case Key::Space:
      // Its text arrives as TextEvent.
      return ctrl ? EventResult::Ignored : EventResult::Handled;
    default:
      return EventResult::Ignored;
  }
  keep_caret_visible();
  return EventResult::Handled;
}

// ---- accessibility --------------------------------------------------------------------

AccessNode TextInput::accessibility() const {
  AccessNode node(AccessRole::TextField, label_.empty() ? placeholder_ : label_);
  if (!is_password()) node.value = text();
  if (!placeholder_.empty() && !label_.empty()) node.description = placeholder_;
  node.bounds = bounds_;
  return node;
}

bool TextInput::perform_semantic_action(std::string_view /*node_id*/, SemanticAction action,
                                        std::string_view value, SyncContext& /*ctx*/) {
  if (action != SemanticAction::SetValue) return false;
  const std::u32string next = single_line_text(decode_utf8(value));
  if (next == text_) return true;
  anchor_ = 0;
  caret_ = text_.size();
  replace_selection(next, EditKind::Other);
  return true;
}

}  // namespace zarn_ui
