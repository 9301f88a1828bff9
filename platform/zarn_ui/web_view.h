#pragma once
// A web page inside a widget. The page is the engine's: the view feeds it
// through the engine's command channel (content rules, the URL to load, the
// viewport, input) and reads its load reports back, never blocking a frame.
// The engine is shared (reference counted) between the views that use it.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "zarn_ui/event.h"
#include "zarn_ui/widget.h"

namespace zarn_ui {

// Replaces the content-blocking rules: a JSON list of
// {"trigger": {"url-filter": REGEX, …}, "action": {"type": "block", …}}.
struct WebSetContentRules {
  std::string rules_json;
};
struct WebLoadUrl {
  std::uint64_t load = 0;  // numbers this load in the reports
  std::string url;
};
struct WebSetViewport {
  Rect viewport;
  float scale = 1;
};
struct WebInput {
  Event event;  // positions relative to the viewport's top left
};
using WebCommand = std::variant<WebSetContentRules, WebLoadUrl, WebSetViewport, WebInput>;

struct WebLoadStarted {
  std::uint64_t load = 0;
};
struct WebLoadFinished {
  std::uint64_t load = 0;
};
struct WebLoadFailed {
  std::uint64_t load = 0;
  std::string reason;
};
struct WebRulesRejected {
  std::string reason;
};
using WebReport = std::variant<WebLoadStarted, WebLoadFinished, WebLoadFailed, WebRulesRejected>;

class WebEngine {
 public:
  virtual ~WebEngine() = default;
  // The command channel: queues the command and returns at once.
  virtual void send(WebCommand command) = 0;
  // Reports since the last call, oldest first; never blocks.
  virtual std::vector<WebReport> take_reports() = 0;
  // Draws the page into `viewport`; false when the engine cannot render.
  virtual bool paint(Painter& /*painter*/, const Rect& /*viewport*/) { return false; }
  // Called (from any thread) whenever reports are waiting.
  virtual void set_waker(std::function<void()> /*wake*/) {}
};

// The toolkit's built-in engine for tests and builds without a browser
// engine: it renders nothing, keeps every command it is sent, checks the
// content rules and answers loads by them (a URL that a "block" rule's
// url-filter matches fails, any other finishes).
class TestWebEngine : public WebEngine {
 public:
  TestWebEngine();
  ~TestWebEngine() override;
  void send(WebCommand command) override;
  std::vector<WebReport> take_reports() override;
  void set_waker(std::function<void()> wake) override;

  std::vector<WebCommand> commands() const;

 private:
  struct Rule;
  mutable std::mutex mutex_;
  std::vector<WebCommand> commands_;
  std::vector<WebReport> reports_;
  std::vector<Rule> rules_;
  std::function<void()> wake_;
};

enum class WebLoadState { Empty, Loading, Loaded, Failed };

class WebView : public Widget {
 public:
  explicit WebView(std::shared_ptr<WebEngine> engine);

  WebView& with_test_id(std::string id) {
    test_id_ = std::move(id);
    return *this;
  }
  const std::string& test_id() const { return test_id_; }
  const std::shared_ptr<WebEngine>& engine() const { return engine_; }

  void set_content_rules(std::string rules_json);
  void load_url(std::string url);
  // Where the page shows, in window points; sent to the engine when it changes.
  void set_viewport(const Rect& viewport, float scale);

  // Takes in the engine's reports (sync and draw do this too).
  void poll_reports();
  WebLoadState load_state() const { return state_; }
  const std::string& url() const { return url_; }
  // Why the last load failed, or why the engine refused the rules.
  const std::string& problem() const { return problem_; }
  // Whether the engine drew the page in the last draw.
  bool rendered() const { return rendered_; }

  std::string_view type_name() const override { return "zarn_ui::WebView"; }
  void sync(SyncContext& ctx) override;
  void apply_layout(const Rect& bounds, LayoutContext& ctx) override;
  void draw_with_presence(DrawContext& ctx) override;
  EventResult handle_event(const Event& event, EventContext& ctx) override;
  Rect bounds() const override { return viewport_; }
  Widget* hit_test(Point p) override { return viewport_.contains(p) ? this : nullptr; }
  bool needs_animation_frame() const override { return state_ == WebLoadState::Loading; }
  AccessNode accessibility() const override;

 private:
  std::shared_ptr<WebEngine> engine_;
  std::string test_id_;
  Rect viewport_{};
  float scale_ = 1;
  std::uint64_t next_load_ = 1, current_load_ = 0;
  WebLoadState state_ = WebLoadState::Empty;
  std::string url_, problem_;
  bool rendered_ = false;
  bool pointer_inside_ = false;
};

}  // namespace zarn_ui
