#pragma once
// A small widget tree for routing tests: each node sits at a fixed rectangle,
// may be focusable, may handle what a test gives it, and writes what reaches
// it into a shared log as "name:Kind".

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zarn_ui/widget.h"

namespace testing_support {

inline std::string event_kind(const zarn_ui::Event& e) {
  static constexpr std::array<const char*, std::variant_size_v<zarn_ui::Event>> names = {
      "KeyPress",    "KeyRelease",   "Text",           "Preedit", "FocusIn", "FocusOut",
      "PointerMove", "PointerPress", "PointerRelease", "Enter",   "Leave",   "Wheel"};
  return names[e.index()];
}

class Node : public zarn_ui::Widget {
 public:
  using Handler =
      std::function<zarn_ui::EventResult(const zarn_ui::Event&, zarn_ui::EventContext&)>;

  Node(std::string name, zarn_ui::Rect rect, std::vector<std::string>* log)
      : name_(std::move(name)), rect_(rect), log_(log) {}

  Node& add(std::string name, zarn_ui::Rect rect) {
    children_.push_back(std::make_unique<Node>(std::move(name), rect, log_));
    return *children_.back();
  }
  void remove(const Node& child) {
    std::erase_if(children_, [&](const auto& c) { return c.get() == &child; });
  }

  std::string_view type_name() const override { return "test::Node"; }
  void apply_layout(const zarn_ui::Rect& bounds, zarn_ui::LayoutContext& ctx) override {
    if (hidden) {
      bounds_ = {};
    } else {
      bounds_ = rect_.empty() ? bounds : rect_;  // the root takes the window
    }
    ++layouts;
    for (auto& c : children_) c->apply_layout(c->rect_, ctx);
  }
  void draw_with_presence(zarn_ui::DrawContext& ctx) override {
    ++draws;
    for (auto& c : children_) c->draw(ctx);
  }
  zarn_ui::EventResult handle_event(const zarn_ui::Event& e, zarn_ui::EventContext& ctx) override {
    if (log_) log_->push_back(name_ + ":" + event_kind(e));
    events.push_back(e);
    return on_event ? on_event(e, ctx) : zarn_ui::EventResult::Ignored;
  }
  zarn_ui::Rect bounds() const override { return bounds_; }
  zarn_ui::Widget* hit_test(zarn_ui::Point p) override {
    if (!bounds_.contains(p)) return nullptr;
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
      if (auto* w = (*it)->hit_test(p)) return w;
    }
    return this;
  }
  bool focusable() const override { return can_focus; }
  zarn_ui::CursorShape cursor(zarn_ui::Point) const override { return shape; }
  std::optional<zarn_ui::Rect> modal_rect() const override {
    return modal ? std::optional(bounds_) : std::nullopt;
  }
  std::size_t child_count() const override { return children_.size(); }
  zarn_ui::Widget* child_at(std::size_t i) override {
    return i < children_.size() ? children_[i].get() : nullptr;
  }
  std::optional<zarn_ui::Instant> next_wake_up() const override { return wake; }
  bool needs_another_frame() const override { return relayout; }
  void frame_finished() override {
    relayout = false;
    for (auto& c : children_) c->frame_finished();
  }

  const std::string& name() const { return name_; }

  bool can_focus = false, modal = false, hidden = false, relayout = false;
  zarn_ui::CursorShape shape = zarn_ui::CursorShape::Arrow;
  Handler on_event;
  std::optional<zarn_ui::Instant> wake;
  std::vector<zarn_ui::Event> events;
  int layouts = 0, draws = 0;

 private:
  std::string name_;
  zarn_ui::Rect rect_;
  std::vector<std::string>* log_;
  zarn_ui::Rect bounds_{};
  std::vector<std::unique_ptr<Node>> children_;
};

// Handles the events `pick` accepts and ignores the rest.
inline Node::Handler handles(std::function<bool(const zarn_ui::Event&)> pick) {
  return [pick](const zarn_ui::Event& e, zarn_ui::EventContext&) {
    return pick(e) ? zarn_ui::EventResult::Handled : zarn_ui::EventResult::Ignored;
  };
}

}  // namespace testing_support
