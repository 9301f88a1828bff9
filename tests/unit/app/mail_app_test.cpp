#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/mail_app.h"
#include "state/accounts.h"
#include "support/fake_text.h"

namespace fs = std::filesystem;
using namespace zarn_ui;

namespace {

mail::MailAccount sample_account() {
  mail::AccountSettings s;
  s.display_name = "Ada";
  s.email = "ada@example.org";
  s.imap_host = "imap.example.org";
  s.smtp_host = "smtp.example.org";
  s.username = "ada";
  return mail::new_account(s);
}

void lay_out(mail::MailApp& app, float w, float h) {
  testing_support::FakeText text;
  LayoutContext ctx{text, 1};
  ASSERT_TRUE(app.build_layout(ctx));
  app.apply_layout(Rect{0, 0, w, h}, ctx);
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (saved_) ::setenv(name_, saved_->c_str(), 1); else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

}  // namespace

TEST(MailApp, FirstRunCoversTheWindowWhileNoAccountExists) {
  mail::MailApp app{mail::StartupData()};
  lay_out(app, 1280, 800);
  EXPECT_TRUE(app.first_run_shown());
  EXPECT_EQ(app.modal_rect(), (Rect{0, 0, 1280, 800}));
  EXPECT_EQ(app.child_count(), 1u);
  EXPECT_EQ(app.hit_test({640, 400}), &app.first_run());
  EXPECT_EQ(app.declared_operation_types(), std::vector<std::string>{"mail.operation"});

  const AccessNode tree = app.accessibility();
  EXPECT_EQ(tree.role, AccessRole::Window);
  EXPECT_EQ(tree.name, "Mail");
  ASSERT_EQ(tree.children.size(), 1u);
  EXPECT_EQ(tree.children[0].name, "Welcome to Mail");
  const AccessNode* add = tree.find("mail.add-account");
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add->name, "Add account");
  EXPECT_EQ(app.first_run().body(), "Add your email account to start reading and sending mail.");
}

TEST(MailApp, WithAnAccountTheShellShowsAndPublishesItsLayout) {
  mail::StartupData data;
  data.accounts.entries.push_back(sample_account());
  mail::MailApp app(std::move(data));
  lay_out(app, 1280, 800);
  EXPECT_FALSE(app.first_run_shown());
  EXPECT_FALSE(app.modal_rect());
  ASSERT_EQ(app.child_count(), 1u);
  EXPECT_EQ(app.child_at(0), &app.shell());
  EXPECT_FALSE(app.view()->narrow);
  EXPECT_TRUE(app.view()->sidebar_shown);

  lay_out(app, 560, 860);
  EXPECT_TRUE(app.view()->narrow);
  EXPECT_FALSE(app.view()->reader_shown);
  EXPECT_FALSE(app.view()->sidebar_shown);
}

TEST(MailApp, LiveStartReadsAccountsFromTheConfigurationFolder) {
  const fs::path root = fs::temp_directory_path() / ("mail-app-live-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root);
  ScopedEnv xdg("XDG_CONFIG_HOME", root.string());
  {
    auto app = mail::MailApp::create();
    EXPECT_TRUE(app->first_run_shown());
    EXPECT_EQ(app->storage(), mail::StorageLocation::default_root());
  }
  ASSERT_TRUE(mail::save_accounts({sample_account()}, 0, root / "zarn"));
  auto app = mail::MailApp::create();
  EXPECT_FALSE(app->first_run_shown());
  ASSERT_EQ(app->view()->accounts.entries.size(), 1u);
  EXPECT_EQ(app->view()->accounts.entries[0].settings.email, "ada@example.org");
  fs::remove_all(root);
}

TEST(MailApp, SceneOwnsAFreshSampleFolderAndRemovesItWithItself) {
  fs::path folder;
  {
    auto app = mail::MailApp::create_for_scene("firstrun");
    auto dir = app->storage().folder();
    ASSERT_TRUE(dir);
    folder = *dir;
    const std::string name = folder.filename().string();
    EXPECT_TRUE(name.starts_with("zarn-mail-sample-")) << name;
    EXPECT_EQ(name.size(), std::string("zarn-mail-sample-").size() + 6);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(app->compose_format(), mail::ComposeFormat::Html);
  }
  EXPECT_FALSE(fs::exists(folder));
}

TEST(MailApp, StatusTextClearsThreeAndAHalfSecondsAfterItLastChanged) {
  mail::StartupData data;
  data.accounts.entries.push_back(sample_account());
  mail::MailApp app(std::move(data));
  SyncContext ctx;
  const Instant t0 = Clock::now();
  app.view()->status = "Syncing…";
  ctx.now = t0;
  app.sync(ctx);
  EXPECT_TRUE(app.needs_idle_sync());
  EXPECT_EQ(app.next_wake_up(), t0 + std::chrono::milliseconds(3500));
  app.view()->status = "Syncing…";  // the same text again does not extend it
  ctx.now = t0 + std::chrono::seconds(2);
  app.sync(ctx);
  ctx.now = t0 + std::chrono::milliseconds(3500);
  app.sync(ctx);
  EXPECT_FALSE(app.view()->status);
  EXPECT_FALSE(app.next_wake_up());
}

TEST(MailApp, ScenesApplyTheirAdjustments) {
  EXPECT_TRUE(mail::MailApp::create_for_scene("narrow_drawer")->shell().drawer_open());
  EXPECT_TRUE(mail::MailApp::create_for_scene("narrow_detail")->shell().snapped());
  EXPECT_EQ(mail::MailApp::create_for_scene("loading")->view()->status, "Syncing Inbox…");
  EXPECT_EQ(mail::MailApp::create_for_scene("offline")->view()->status,
            "You’re offline · Showing downloaded mail");
  EXPECT_EQ(mail::MailApp::create_for_scene("empty")->view()->document.len(), 0u);
  auto wide = mail::MailApp::create_for_scene("wide");
  EXPECT_EQ(wide->view()->document.len(), 15u);
  EXPECT_EQ(wide->view()->accounts.entries.size(), 2u);
  EXPECT_FALSE(wide->view()->status);
  EXPECT_FALSE(wide->shell().drawer_open());
}
