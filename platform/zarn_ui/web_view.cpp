#include "zarn_ui/web_view.h"

#include <algorithm>
#include <expected>
#include <nlohmann/json.hpp>
#include <regex>

namespace zarn_ui {

// One content-blocking rule: loads whose URL matches `filter` are blocked
// (or, for "ignore-previous-rules", let through again).
struct TestWebEngine::Rule {
  std::regex filter;
  bool block = true;
  bool applies_to_pages = true;  // false when its resource types leave out documents
};

namespace {

// Parses a content-blocker rule list; the reason when it is not one.
struct RuleText {
  std::string filter, type;
  bool applies_to_pages = true;
};

std::expected<std::vector<RuleText>, std::string> parse_rules(const std::string& text) {
  const nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
  if (doc.is_discarded() || !doc.is_array()) return std::unexpected("rules are not a JSON list");
  std::vector<RuleText> out;
  for (const auto& rule : doc) {
    const auto trigger = rule.find("trigger");
    const auto action = rule.find("action");
    if (!rule.is_object() || trigger == rule.end() || action == rule.end() ||
        !trigger->is_object() || !action->is_object()) {
      return std::unexpected("a rule lacks its trigger or action");
    }
    const auto filter = trigger->find("url-filter");
    const auto type = action->find("type");
    if (filter == trigger->end() || !filter->is_string() || type == action->end() ||
        !type->is_string()) {
      return std::unexpected("a rule lacks its url-filter or action type");
    }
    bool pages = true;
    if (const auto types = trigger->find("resource-type"); types != trigger->end()) {
      if (!types->is_array()) return std::unexpected("a rule's resource-type is not a list");
      pages = std::find(types->begin(), types->end(), "document") != types->end();
    }
    out.push_back({filter->get<std::string>(), type->get<std::string>(), pages});
  }
  return out;
}

}  // namespace

TestWebEngine::TestWebEngine() = default;
TestWebEngine::~TestWebEngine() = default;

void TestWebEngine::send(WebCommand command) {
  std::function<void()> wake;
  {
    std::lock_guard lock(mutex_);
    if (auto* rules = std::get_if<WebSetContentRules>(&command)) {
      auto parsed = parse_rules(rules->rules_json);
      std::vector<Rule> fresh;
      std::string problem = parsed ? "" : parsed.error();
      if (parsed) {
        for (const RuleText& r : *parsed) {
          try {
            fresh.push_back({std::regex(r.filter, std::regex::ECMAScript),
                             r.type != "ignore-previous-rules", r.applies_to_pages});
          } catch (const std::regex_error&) {
            problem = "a url-filter is not a regular expression: " + r.filter;
            break;
          }
        }
      }
      if (problem.empty()) {
        rules_ = std::move(fresh);
      } else {
        reports_.emplace_back(std::in_place_type<WebRulesRejected>, problem);  // old rules stay
      }
    } else if (auto* load = std::get_if<WebLoadUrl>(&command)) {
      reports_.emplace_back(std::in_place_type<WebLoadStarted>, load->load);
      bool blocked = false;
      for (const Rule& rule : rules_) {
        if (rule.applies_to_pages && std::regex_search(load->url, rule.filter)) {
          blocked = rule.block;
        }
      }
      if (blocked) {
        reports_.emplace_back(std::in_place_type<WebLoadFailed>, load->load,
                              "blocked by the content rules");
      } else {
        reports_.emplace_back(std::in_place_type<WebLoadFinished>, load->load);
      }
    }
    commands_.push_back(std::move(command));
    wake = wake_;
  }
  if (wake) wake();
}

std::vector<WebReport> TestWebEngine::take_reports() {
  std::lock_guard lock(mutex_);
  std::vector<WebReport> out;
  out.swap(reports_);
  return out;
}

void TestWebEngine::set_waker(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
}

std::vector<WebCommand> TestWebEngine::commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

WebView::WebView(std::shared_ptr<WebEngine> engine) : engine_(std::move(engine)) {}

void WebView::set_content_rules(std::string rules_json) {
  if (engine_) engine_->send(WebSetContentRules{std::move(rules_json)});
}

void WebView::load_url(std::string url) {
  current_load_ = next_load_++;
  url_ = url;
  problem_.clear();
  state_ = WebLoadState::Loading;
  if (!engine_) {
    state_ = WebLoadState::Failed;
    problem_ = "no web engine";
    return;
  }
  engine_->send(WebLoadUrl{current_load_, std::move(url)});
}

void WebView::set_viewport(const Rect& viewport, float scale) {
  if (viewport == viewport_ && scale == scale_) return;
  viewport_ = viewport;
  scale_ = scale;
  if (engine_) engine_->send(WebSetViewport{viewport, scale});
}

void WebView::poll_reports() {
  if (!engine_) return;
  for (WebReport& report : engine_->take_reports()) {
    // Reports about an earlier load than the current one are stale.
    if (auto* started = std::get_if<WebLoadStarted>(&report)) {
      if (started->load == current_load_) state_ = WebLoadState::Loading;
    } else if (auto* finished = std::get_if<WebLoadFinished>(&report)) {
      if (finished->load == current_load_) state_ = WebLoadState::Loaded;
    } else if (auto* failed = std::get_if<WebLoadFailed>(&report)) {
      if (failed->load == current_load_) {
        state_ = WebLoadState::Failed;
        problem_ = std::move(failed->reason);
      }
    } else if (auto* rejected = std::get_if<WebRulesRejected>(&report)) {
      problem_ = std::move(rejected->reason);
    }
  }
}

void WebView::sync(SyncContext&) {
  poll_reports();
}

void WebView::apply_layout(const Rect& bounds, LayoutContext& ctx) {
  set_viewport(bounds, ctx.scale);
}

void WebView::draw_with_presence(DrawContext& ctx) {
  poll_reports();
  rendered_ = engine_ && !viewport_.empty() && engine_->paint(ctx.painter, viewport_);
}

EventResult WebView::handle_event(const Event& event, EventContext&) {
  if (!engine_) return EventResult::Ignored;
  Event local = event;
  Point* pos = nullptr;
  std::visit(
      [&](auto& e) {
        if constexpr (requires { e.pos; }) pos = &e.pos;
      },
      local);
  if (std::holds_alternative<PointerLeave>(event)) {
    if (!pointer_inside_) return EventResult::Ignored;
    pointer_inside_ = false;
    engine_->send(WebInput{local});
    return EventResult::Handled;
  }
  if (!pos || !viewport_.contains(*pos)) return EventResult::Ignored;
  pointer_inside_ = true;
  pos->x -= viewport_.left;
  pos->y -= viewport_.top;
  engine_->send(WebInput{std::move(local)});
  return EventResult::Handled;
}

AccessNode WebView::accessibility() const {
  AccessNode node(AccessRole::Group, "Web content");
  node.bounds = viewport_;
  node.busy = state_ == WebLoadState::Loading;
  return node;
}

}  // namespace zarn_ui
