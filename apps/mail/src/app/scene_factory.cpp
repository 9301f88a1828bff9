#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/mail_app.h"
#include "app/scenes.h"
#include "sample/sample.h"

namespace mail {

namespace {

// A fresh "zarn-mail-sample-XXXXXX" folder under the system's temporary folder.
std::optional<std::filesystem::path> make_scene_folder() {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) return std::nullopt;
  std::string tmpl = (base / "zarn-mail-sample-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) return std::nullopt;
  return std::filesystem::path(tmpl);
}

}  // namespace

std::unique_ptr<MailApp> MailApp::create_for_scene(std::string_view scene) {
  StartupData data;
  if (auto folder = make_scene_folder()) {
    data.storage = StorageLocation::directory(*folder);
    data.owned_folder = folder;
  } else {
    data.storage = StorageLocation::none();
  }
  SampleState sample = sample_state();
  data.fixed_minute = sample.clock_minute;
  if (scene != "firstrun") {
    data.accounts.entries = std::move(sample.accounts);
    data.document = std::move(sample.document);
  }
  auto app = std::make_unique<MailApp>(std::move(data));
  MailView& view = *app->view();
  // The adjustments that the window can show so far; the others arrive with
  // the surfaces they open.
  if (scene == "narrow_detail") {
    app->shell().snap();
  } else if (scene == "narrow_drawer") {
    app->shell().snap_sidebar();
  } else if (scene == "loading") {
    view.status = "Syncing Inbox…";
  } else if (scene == "offline") {
    view.status = "You’re offline · Showing downloaded mail";
  } else if (scene == "empty") {
    view.document = MailDocument(view.document.account());
  }
  return app;
}

}  // namespace mail
