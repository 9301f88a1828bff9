#pragma once
// The widget interface the host drives, once per frame on the UI thread:
//
//   sync → (build_layout → apply_layout when needed) → draw_with_presence
//
// Input arrives through handle_event; accessibility and semantic actions on
// demand. The host keeps producing frames while needs_idle_sync() or
// needs_animation_frame() holds and otherwise sleeps until next_wake_up() or
// the next input event.
//
// Operations, in the order hosts call them:
//   identity ........... type_name, debug_name
//   frame .............. sync, build_layout, apply_layout, draw, draw_with_presence,
//                        needs_another_frame, frame_finished
//   input .............. handle_event, hit_test, modal_rect
//   tree ............... child_count, child_at
//   accessibility ...... accessibility, perform_semantic_action
//   scheduling ......... needs_idle_sync, needs_animation_frame, next_wake_up
//   suite integration .. declared_operation_types, resources, resource_tree,
//                        resource_lookup, search_provider, take_pending_action_item,
//                        execute_operation, begin_invocation, begin_mutable_invocation,
//                        invocation_result

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "zarn_ui/access.h"
#include "zarn_ui/event.h"
#include "zarn_ui/geometry.h"

namespace persist {
class Document;
}

namespace zarn_ui {

class Painter;
class TextRenderer;
struct Theme;

class FrameWaker;
class Widget;

// What the host lends to sync and semantic actions.
struct SyncContext {
  ::persist::Document* document = nullptr;  // the replicated document the host keeps
  Instant now{};
  // Hand this to workers: their request_frame() (from any thread) makes the
  // window draw on its next frame.
  std::shared_ptr<FrameWaker> waker;
};

struct LayoutContext {
  TextRenderer& text;
  float scale = 1;  // device pixels per point
};

// Who may see what is drawn (presence, screen sharing); mail draws everything.
struct PermissionContext {
  bool show_private = true;
  static PermissionContext permissive() { return {}; }
};

struct DrawContext {
  Painter& painter;
  PermissionContext permissions = PermissionContext::permissive();
  Instant now{};
};

// What input handlers may ask of the host. A handled event repaints; set
// request_layout when the event changed content or size, request_paint when an
// ignored event still changed how something looks.
struct EventContext {
  bool request_focus = false;  // set by a handler that wants keyboard focus
  bool request_layout = false;
  bool request_paint = false;
  // The widget the event is for; its parents see it as the event bubbles up.
  const Widget* target = nullptr;
};

// Suite integration records; their payloads are JSON so that applications
// agree on them without sharing types.
struct ResourceInfo {
  std::string id;
  std::string kind;
  std::string title;
  std::optional<std::string> parent;
  nlohmann::json attributes = nlohmann::json::object();
};

struct ResourceNode {
  ResourceInfo resource;
  std::vector<ResourceNode> children;
};

struct ActionItem {
  std::string action_type;
  nlohmann::json payload;
};

struct Invocation {
  std::string id;
  std::string operation_type;
  nlohmann::json payload;
};

struct InvocationOutcome {
  bool ok = false;
  std::string code;     // set on failure
  std::string message;  // set on failure
  nlohmann::json value;
};

class SearchProvider;  // the search catalogue's query side

class Widget {
 public:
  virtual ~Widget() = default;

  virtual std::string_view type_name() const = 0;
  virtual std::string_view debug_name() const { return type_name(); }

  virtual void sync(SyncContext& /*ctx*/) {}
  // Prepares the layout tree; false when the node cannot be created.
  virtual bool build_layout(LayoutContext& /*ctx*/) { return true; }
  virtual void apply_layout(const Rect& bounds, LayoutContext& ctx) = 0;
  virtual void draw(DrawContext& ctx) { draw_with_presence(ctx); }
  virtual void draw_with_presence(DrawContext& ctx) = 0;
  virtual bool needs_another_frame() const { return false; }
  virtual void frame_finished() {}

  // The frame loop routes each event to its widget and then up through the
  // parents (see frame_loop.h); a widget handles its own part and does not
  // pass events on to its children.
  virtual EventResult handle_event(const Event& /*event*/, EventContext& /*ctx*/) {
    return EventResult::Ignored;
  }
  virtual Rect bounds() const = 0;
  // The widget (this or a descendant) that takes a pointer at `p`, if any; a
  // descendant must be reachable through child_at.
  virtual Widget* hit_test(Point /*p*/) { return nullptr; }
  // Whether keyboard focus may rest here (Tab stops at it, a press may give
  // it focus when its handler asks through EventContext::request_focus).
  virtual bool focusable() const { return false; }
  // The pointer's shape at `p` over this widget.
  virtual CursorShape cursor(Point /*p*/) const { return CursorShape::Arrow; }
  // The rectangle of a modal surface that takes all input, if one is open.
  virtual std::optional<Rect> modal_rect() const { return std::nullopt; }

  virtual std::size_t child_count() const { return 0; }
  virtual Widget* child_at(std::size_t /*index*/) { return nullptr; }

  virtual AccessNode accessibility() const { return AccessNode(AccessRole::Group, ""); }
  virtual bool perform_semantic_action(std::string_view /*node_id*/, SemanticAction /*action*/,
                                       std::string_view /*value*/, SyncContext& /*ctx*/) {
    return false;
  }

  virtual bool needs_idle_sync() const { return false; }
  virtual bool needs_animation_frame() const { return false; }
  virtual std::optional<Instant> next_wake_up() const { return std::nullopt; }

  virtual std::vector<std::string> declared_operation_types() const { return {}; }
  virtual std::vector<ResourceInfo> resources() const { return {}; }
  virtual std::optional<ResourceNode> resource_tree() const { return std::nullopt; }
  virtual std::optional<ResourceInfo> resource_lookup(std::string_view /*id*/) const {
    return std::nullopt;
  }
  virtual SearchProvider* search_provider() { return nullptr; }
  virtual std::optional<ActionItem> take_pending_action_item() { return std::nullopt; }
  virtual std::optional<InvocationOutcome> execute_operation(const Invocation& /*inv*/,
                                                             SyncContext& /*ctx*/) {
    return std::nullopt;
  }
  virtual bool begin_invocation(const Invocation& /*inv*/) { return false; }
  virtual bool begin_mutable_invocation(const Invocation& /*inv*/, SyncContext& /*ctx*/) {
    return false;
  }
  virtual std::optional<InvocationOutcome> invocation_result(std::string_view /*id*/) {
    return std::nullopt;
  }
};

using WidgetBox = std::unique_ptr<Widget>;

}  // namespace zarn_ui
