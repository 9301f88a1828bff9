#pragma once
// The root widget of the Mail window.
//
//   construction ....... create (live start), create_for_scene (preview scenes)
//   frame .............. sync, build_layout, apply_layout, draw_with_presence
//   input .............. handle_event, hit_test, modal_rect
//   accessibility ...... accessibility, perform_semantic_action
//   scheduling ......... needs_idle_sync, needs_animation_frame, next_wake_up

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/mail_view.h"
#include "state/local_state.h"
#include "state/storage_location.h"
#include "zarn_ui/empty_state.h"
#include "zarn_ui/nav_shell.h"
#include "zarn_ui/theme.h"
#include "zarn_ui/widget.h"

namespace mail {

// What a MailApp is built from.
struct StartupData {
  AccountList accounts;
  MailDocument document;
  StorageLocation storage = StorageLocation::none();
  // A scene's temporary folder, removed with the application.
  std::optional<std::filesystem::path> owned_folder;
  std::optional<std::int64_t> fixed_minute;  // scenes run on a fixed clock
};

class MailApp : public zarn_ui::Widget {
 public:
  explicit MailApp(StartupData data);
  ~MailApp() override;
  MailApp(const MailApp&) = delete;
  MailApp& operator=(const MailApp&) = delete;

  // The live start: accounts and secrets from the account services, storage
  // at the configuration root.
  static std::unique_ptr<MailApp> create();
  // A preview scene over the built-in sample data; unknown names build "wide".
  static std::unique_ptr<MailApp> create_for_scene(std::string_view scene);

  const SharedView& view() const { return view_; }
  const StorageLocation& storage() const { return storage_; }
  ComposeFormat compose_format() const { return local_.remembered; }
  bool first_run_shown() const;
  bool setup_open() const { return setup_open_; }
  zarn_ui::NavShell& shell() { return *shell_; }
  zarn_ui::EmptyState& first_run() { return *first_run_; }

  std::string_view type_name() const override { return "mail::app::MailApp"; }
  std::string_view debug_name() const override { return "MailApp"; }
  void sync(zarn_ui::SyncContext& ctx) override;
  bool build_layout(zarn_ui::LayoutContext& ctx) override;
  void apply_layout(const zarn_ui::Rect& bounds, zarn_ui::LayoutContext& ctx) override;
  void draw(zarn_ui::DrawContext& ctx) override;
  void draw_with_presence(zarn_ui::DrawContext& ctx) override;
  zarn_ui::EventResult handle_event(const zarn_ui::Event& event,
                                    zarn_ui::EventContext& ctx) override;
  std::size_t child_count() const override;
  zarn_ui::Widget* child_at(std::size_t index) override;
  std::vector<std::string> declared_operation_types() const override { return {"mail.operation"}; }
  zarn_ui::Rect bounds() const override { return bounds_; }
  zarn_ui::Widget* hit_test(zarn_ui::Point p) override;
  zarn_ui::AccessNode accessibility() const override;
  bool perform_semantic_action(std::string_view node_id, zarn_ui::SemanticAction action,
                               std::string_view value, zarn_ui::SyncContext& ctx) override;
  bool needs_idle_sync() const override;
  bool needs_animation_frame() const override;
  std::optional<zarn_ui::Instant> next_wake_up() const override;
  std::optional<zarn_ui::Rect> modal_rect() const override;
  bool needs_another_frame() const override;
  void frame_finished() override;

 private:
  void open_setup_sheet();
  void update_status_clock(zarn_ui::Instant now);

  SharedView view_;
  zarn_ui::Theme theme_, sheet_theme_;
  std::unique_ptr<zarn_ui::NavShell> shell_;
  std::unique_ptr<zarn_ui::EmptyState> first_run_;
  StorageLocation storage_;
  LocalState local_;
  std::optional<std::filesystem::path> owned_folder_;
  std::optional<std::int64_t> fixed_minute_;

  zarn_ui::Rect bounds_{};
  bool relayout_ = true;
  bool setup_request_ = false;
  bool setup_open_ = false;
  std::optional<std::string> status_seen_;
  std::optional<zarn_ui::Instant> status_deadline_;
};

}  // namespace mail
