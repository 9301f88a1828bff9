#pragma once
// A full-area message with a title, a body and action buttons, for screens
// with nothing to show yet ("Welcome to …", "No messages").

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "zarn_ui/icon.h"
#include "zarn_ui/theme.h"
#include "zarn_ui/widget.h"

namespace zarn_ui {

class EmptyState : public Widget {
 public:
  struct Action {
    std::string label;
    std::string id;
  };
  using ActionHandler = std::function<void(const std::string& action_id)>;

  EmptyState(std::string title, std::string body, std::vector<Action> actions, Theme theme,
             std::optional<IconKind> icon = std::nullopt);

  void on_action(ActionHandler handler) { handler_ = std::move(handler); }
  const std::string& title() const { return title_; }
  const std::string& body() const { return body_; }
  const std::vector<Action>& actions() const { return actions_; }
  // The screen rectangle of action i after layout.
  Rect action_rect(std::size_t i) const;

  std::string_view type_name() const override { return "zarn_ui::EmptyState"; }
  void apply_layout(const Rect& bounds, LayoutContext& ctx) override;
  void draw_with_presence(DrawContext& ctx) override;
  EventResult handle_event(const Event& event, EventContext& ctx) override;
  Rect bounds() const override { return bounds_; }
  Widget* hit_test(Point p) override { return bounds_.contains(p) ? this : nullptr; }
  bool focusable() const override { return !actions_.empty(); }
  AccessNode accessibility() const override;
  bool perform_semantic_action(std::string_view node_id, SemanticAction action,
                               std::string_view value, SyncContext& ctx) override;

 private:
  void activate(std::size_t i);

  std::string title_, body_;
  std::vector<Action> actions_;
  Theme theme_;
  std::optional<IconKind> icon_;
  ActionHandler handler_;

  Rect bounds_{}, card_{};
  std::vector<std::string> body_lines_;
  std::vector<Rect> action_rects_;
  std::optional<std::size_t> hovered_, pressed_;
  std::size_t focused_ = 0;
};

}  // namespace zarn_ui
