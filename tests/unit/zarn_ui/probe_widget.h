#pragma once
// A widget that records what the host asked of it.

#include <vector>

#include "zarn_ui/widget.h"

namespace testing_support {

class ProbeWidget : public zarn_ui::Widget {
 public:
  std::string_view type_name() const override { return "probe"; }
  void sync(zarn_ui::SyncContext&) override { ++syncs; }
  void apply_layout(const zarn_ui::Rect& b, zarn_ui::LayoutContext&) override {
    bounds_ = b;
    ++layouts;
  }
  void draw_with_presence(zarn_ui::DrawContext&) override { ++draws; }
  zarn_ui::EventResult handle_event(const zarn_ui::Event& e, zarn_ui::EventContext&) override {
    events.push_back(e);
    return handles ? zarn_ui::EventResult::Handled : zarn_ui::EventResult::Ignored;
  }
  bool focusable() const override { return can_focus; }
  zarn_ui::Rect bounds() const override { return bounds_; }
  zarn_ui::Widget* hit_test(zarn_ui::Point p) override {
    return bounds_.contains(p) ? this : nullptr;
  }
  bool needs_idle_sync() const override { return idle; }
  std::optional<zarn_ui::Instant> next_wake_up() const override { return wake; }
  bool needs_another_frame() const override { return another; }
  void frame_finished() override { another = false; }

  int syncs = 0, layouts = 0, draws = 0;
  bool idle = false, another = false, handles = true, can_focus = false;
  std::optional<zarn_ui::Instant> wake;
  std::vector<zarn_ui::Event> events;
  zarn_ui::Rect bounds_{};
};

}  // namespace testing_support
