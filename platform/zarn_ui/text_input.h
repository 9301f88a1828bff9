#pragma once
// A single-line text field: caret, selection by pointer and keyboard, word
// movement, clipboard, undo and redo, input-method composition, a placeholder
// and a password mode.
//
// Built in this order of calls:
//   TextInput::local().with_kind(InputKind::Email).with_initial_value(v).with_placeholder(p)
//
// Keys, as a desktop text field takes them (Ctrl is the command key):
//   Left/Right         one character; with Ctrl one word; with Shift extending the selection
//   Home/End           start/end of the text (Shift extends)
//   Backspace/Delete   the selection, else one character (Ctrl: one word)
//   Ctrl+A             select all          Ctrl+C/X/V   copy, cut, paste
//   Ctrl+Z             undo                Ctrl+Shift+Z, Ctrl+Y   redo
// Typed text arrives as TextEvent; input methods send Preedit while composing
// and TextEvent with what they commit. Enter, Escape, Tab, Up and Down are left
// to the parent.
//
// The text is one line: line breaks in pasted or committed text are dropped at
// its ends and turned into one space inside it, so a password or an address
// copied with its line break goes in as it was meant.
//
// In password mode the text is drawn as bullets, never copied or cut to the
// clipboard, and never given to the accessibility tree.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zarn_ui/clipboard.h"
#include "zarn_ui/rich_text.h"
#include "zarn_ui/theme.h"
#include "zarn_ui/widget.h"

namespace zarn_ui {

// The toolkit's numbering of what a field holds; it chooses the input
// method's hints and, for Password, the password mode.
enum class InputKind : std::uint8_t {
  Text = 0,
  PersonName = 1,
  Search = 2,
  Username = 3,
  Email = 4,
  HostName = 5,
  Url = 6,
  Phone = 7,
  Number = 8,
  Password = 9,
};

class TextInput : public Widget {
 public:
  // A field whose text lives in this process only (not a shared document).
  static TextInput local();
  TextInput with_kind(InputKind kind) &&;
  TextInput with_initial_value(std::string_view text) &&;
  TextInput with_placeholder(std::string_view text) &&;
  TextInput with_label(std::string_view accessible_name) &&;
  TextInput with_clipboard(Clipboard& clipboard) &&;  // instead of the shared one
  TextInput with_theme(const Theme& theme) &&;

  TextInput(TextInput&&) noexcept = default;
  TextInput& operator=(TextInput&&) noexcept = default;

  // The text as UTF-8; replacing it clears the selection, the composition and
  // the undo history and puts the caret at the end.
  std::string text() const;
  void set_text(std::string_view text);
  const std::string& placeholder() const { return placeholder_; }
  InputKind kind() const { return kind_; }
  bool is_password() const { return kind_ == InputKind::Password; }

  // Caret and selection in characters of the text; the selection runs between
  // the anchor and the caret.
  std::size_t caret() const { return caret_; }
  std::size_t anchor() const { return anchor_; }
  bool has_selection() const { return caret_ != anchor_; }
  std::string selected_text() const;
  void select(std::size_t anchor, std::size_t caret);
  void select_all() { select(0, text_.size()); }
  // The input method's composition, not yet part of the text.
  std::string preedit() const;

  bool focused() const { return focused_; }
  // True once after the text changed (typing, paste, undo…), for the owner to react.
  bool take_changed();

  bool can_undo() const { return !undo_.empty(); }
  bool can_redo() const { return !redo_.empty(); }

  // Widget.
  std::string_view type_name() const override { return "TextInput"; }
  void apply_layout(const Rect& bounds, LayoutContext& ctx) override;
  void draw_with_presence(DrawContext& ctx) override;
  EventResult handle_event(const Event& event, EventContext& ctx) override;
  Rect bounds() const override { return bounds_; }
  Widget* hit_test(Point p) override { return bounds_.contains(p) ? this : nullptr; }
  bool focusable() const override { return true; }
  CursorShape cursor(Point /*p*/) const override { return CursorShape::IBeam; }
  AccessNode accessibility() const override;
  bool perform_semantic_action(std::string_view node_id, SemanticAction action,
                               std::string_view value, SyncContext& ctx) override;
  bool needs_animation_frame() const override { return false; }
  std::optional<Instant> next_wake_up() const override;

  // Whether the caret is drawn at `now` (it blinks while focused).
  bool caret_visible(Instant now) const;

 private:
  TextInput() = default;

  struct Snapshot {
    std::u32string text;
    std::size_t caret = 0, anchor = 0;
  };
  enum class EditKind { None, Typing, Deleting, Other };

  EventResult handle_key(const KeyPress& key, EventContext& ctx);
  EventResult handle_pointer_press(const PointerPress& press, EventContext& ctx);

  void move_to(std::size_t offset, bool extend);
  // Replaces the selection with `chars` as one edit of the given kind.
  void replace_selection(std::u32string_view chars, EditKind kind);
  void delete_range(std::size_t from, std::size_t to, EditKind kind);
  void record_undo(EditKind kind);
  void undo();
  void redo();
  void step_history(std::vector<Snapshot>& from, std::vector<Snapshot>& to);
  void copy();
  void cut();
  void paste();
  void insert_text(std::string_view utf8, EditKind kind);
  void set_preedit(const Preedit& preedit);
  void touched();

  // The layout of what is shown (masked text with the composition at the
  // caret), rebuilt after every change; offsets in it are display offsets.
  const RichTextLayout& shown_layout() const;
  std::size_t to_display(std::size_t offset) const;
  std::size_t from_display(std::size_t offset) const;
  Point text_origin() const;
  void keep_caret_visible();
  std::size_t offset_at(Point p) const;
  Clipboard& clipboard() const { return clipboard_ != nullptr ? *clipboard_ : shared_clipboard(); }

  std::u32string text_;
  std::size_t caret_ = 0, anchor_ = 0;
  std::u32string preedit_;
  std::size_t preedit_cursor_ = 0;
  std::string placeholder_;
  std::string label_;
  InputKind kind_ = InputKind::Text;
  Clipboard* clipboard_ = nullptr;

  bool focused_ = false;
  bool dragging_ = false;
  bool changed_ = false;
  Instant blink_start_{};

  std::vector<Snapshot> undo_, redo_;
  EditKind last_edit_ = EditKind::None;

  Rect bounds_{};
  float scroll_x_ = 0;
  Theme theme_ = Theme::dark();
  TextRenderer* renderer_ = nullptr;
  mutable std::unique_ptr<RichTextLayout> layout_;
  mutable std::unique_ptr<RichTextLayout> placeholder_layout_;
};

// What a single-line field keeps of inserted text: line breaks at the ends
// dropped, runs of them inside turned into one space, tabs into spaces, other
// control characters dropped.
std::u32string single_line_text(std::u32string_view text);

}  // namespace zarn_ui
