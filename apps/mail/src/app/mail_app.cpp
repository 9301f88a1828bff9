#include "app/mail_app.h"

#include <chrono>
#include <cstdlib>
#include <system_error>

#include "app/column_pane.h"
#include "app/scenes.h"
#include "app/status_line.h"
#include "app/strings.h"
#include "log/log.h"
#include "zarn_ui/painter.h"
#include "zarn_ui/transient.h"

namespace mail {

namespace {

constexpr float kCollapseWidth = 860;
constexpr auto kStatusLifetime = std::chrono::milliseconds(3500);

std::int64_t minute_now() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(now).count();
  return minutes > 0 ? minutes : 0;
}

}  // namespace

MailApp::MailApp(StartupData data)
    : view_(std::make_shared<MailView>()),
      theme_(zarn_ui::Theme::dark()),
      sheet_theme_(zarn_ui::Theme::dark()),
      storage_(std::move(data.storage)),
      owned_folder_(std::move(data.owned_folder)),
      fixed_minute_(data.fixed_minute) {
  ensure_strings();
  view_->accounts = std::move(data.accounts);
  view_->document = std::move(data.document);
  view_->now_minute = fixed_minute_.value_or(minute_now());

  auto pane = [&](ColumnPane::Role role) {
    return std::make_unique<ColumnPane>(role, view_, theme_);
  };
  shell_ = std::make_unique<zarn_ui::NavShell>(pane(ColumnPane::Role::List),
                                               pane(ColumnPane::Role::Reader), theme_);
  shell_->with_sidebar(pane(ColumnPane::Role::Sidebar));
  shell_->set_collapse_width(kCollapseWidth);
  shell_->set_sidebar_width(260);
  shell_->set_list_width(340);

  local_ = load_compose_format(storage_);

  first_run_ = std::make_unique<zarn_ui::EmptyState>(
      "Welcome to Mail", "Add your email account to start reading and sending mail.",
      std::vector<zarn_ui::EmptyState::Action>{{"Add account", "mail.add-account"}}, theme_,
      zarn_ui::IconKind::Inbox);
  first_run_->on_action([this](const std::string& id) {
    if (id == "mail.add-account") setup_request_ = true;
  });
}

MailApp::~MailApp() {
  if (owned_folder_) {
    std::error_code ec;
    std::filesystem::remove_all(*owned_folder_, ec);
  }
}

std::unique_ptr<MailApp> MailApp::create() {
  StartupData data;
  data.accounts = load_accounts();
  data.storage = StorageLocation::default_root();
  if (const MailAccount* active = data.accounts.active_account()) {
    data.document = MailDocument(active->settings);
  }
  return std::make_unique<MailApp>(std::move(data));
}

bool MailApp::first_run_shown() const { return view_->accounts.entries.empty() && !setup_open_; }

void MailApp::open_setup_sheet() {
  // The account setup sheet is not part of this build yet: say so rather than
  // open nothing.
  view_->status = "Account setup isn't available in this build yet";
  view_->changed = true;
  relayout_ = true;
}

void MailApp::update_status_clock(zarn_ui::Instant now) {
  if (view_->status != status_seen_) {
    status_seen_ = view_->status;
    status_deadline_ = view_->status ? std::optional(now + kStatusLifetime) : std::nullopt;
  }
  if (status_deadline_ && now >= *status_deadline_) {
    view_->status.reset();
    view_->changed = true;
    status_seen_.reset();
    status_deadline_.reset();
  }
}

void MailApp::sync(zarn_ui::SyncContext& ctx) {
  if (setup_request_) {
    setup_request_ = false;
    open_setup_sheet();
  }
  update_status_clock(ctx.now);
  view_->now_minute = fixed_minute_.value_or(minute_now());
  view_->startup_done = true;
  shell_->sync(ctx);
}

bool MailApp::build_layout(zarn_ui::LayoutContext& ctx) {
  const bool ok = first_run_shown() ? first_run_->build_layout(ctx) : shell_->build_layout(ctx);
  if (!ok) zlog::error(zlog::app, "mail: failed to create root layout node");
  return ok;
}

void MailApp::apply_layout(const zarn_ui::Rect& bounds, zarn_ui::LayoutContext& ctx) {
  bounds_ = bounds;
  if (first_run_shown()) {
    first_run_->apply_layout(bounds, ctx);
    return;
  }
  shell_->set_collapse_width(std::max(kCollapseWidth * theme_.text_scale, 1.0f));
  shell_->apply_layout(bounds, ctx);
  MailView& v = *view_;
  v.narrow = shell_->collapse_width() > bounds.width();
  v.reader_shown = shell_->has_detail() && shell_->snapped();
  v.sidebar_shown = shell_->sidebar_visible();
}

void MailApp::draw(zarn_ui::DrawContext& ctx) {
  zarn_ui::DrawContext permissive{ctx.painter, zarn_ui::PermissionContext::permissive(), ctx.now};
  draw_with_presence(permissive);
}

void MailApp::draw_with_presence(zarn_ui::DrawContext& ctx) {
  shell_->draw(ctx);
  if (first_run_shown()) first_run_->draw(ctx);
  if (view_->status) {
    zarn_ui::paint_transient(ctx.painter, bounds_, lowercase(*view_->status),
                             status_tone(*view_->status), theme_);
  }
}

zarn_ui::EventResult MailApp::handle_event(const zarn_ui::Event& /*event*/,
                                          zarn_ui::EventContext& /*ctx*/) {
  // The frame loop brings input to the first-run card and the shell's columns
  // and then up to here; the window itself has no shortcuts yet.
  if (setup_request_) {
    setup_request_ = false;
    open_setup_sheet();
  }
  return zarn_ui::EventResult::Ignored;
}

std::size_t MailApp::child_count() const { return 1; }

zarn_ui::Widget* MailApp::child_at(std::size_t index) {
  if (index != 0) return nullptr;
  if (first_run_shown()) return first_run_.get();
  return shell_.get();
}

zarn_ui::Widget* MailApp::hit_test(zarn_ui::Point p) {
  return first_run_shown() ? first_run_->hit_test(p) : shell_->hit_test(p);
}

zarn_ui::AccessNode MailApp::accessibility() const {
  zarn_ui::AccessNode window(zarn_ui::AccessRole::Window, "Mail");
  window.with_bounds(bounds_);
  if (first_run_shown()) {
    window.with_children({first_run_->accessibility()});
    return window;
  }
  std::vector<zarn_ui::AccessNode> children;
  if (view_->status) children.emplace_back(zarn_ui::AccessRole::Status, *view_->status);
  window.with_children(std::move(children));
  return window;
}

bool MailApp::perform_semantic_action(std::string_view node_id, zarn_ui::SemanticAction action,
                                      std::string_view value, zarn_ui::SyncContext& ctx) {
  if (first_run_shown()) {
    const bool handled = first_run_->perform_semantic_action(node_id, action, value, ctx);
    if (setup_request_) {
      setup_request_ = false;
      open_setup_sheet();
    }
    return handled;
  }
  return false;
}

bool MailApp::needs_idle_sync() const {
  return status_deadline_.has_value() || shell_->needs_idle_sync();
}

bool MailApp::needs_animation_frame() const {
  return status_deadline_.has_value() || shell_->needs_animation_frame();
}

std::optional<zarn_ui::Instant> MailApp::next_wake_up() const { return status_deadline_; }

std::optional<zarn_ui::Rect> MailApp::modal_rect() const {
  if (first_run_shown()) return bounds_;
  return std::nullopt;
}

bool MailApp::needs_another_frame() const { return relayout_ || view_->changed; }

void MailApp::frame_finished() {
  relayout_ = false;
  view_->changed = false;
}

}  // namespace mail
