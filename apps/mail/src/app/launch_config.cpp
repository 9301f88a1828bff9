#include "app/launch_config.h"

#include "app/mail_app.h"
#include "app/scenes.h"
#include "zarn_ui/persist.h"

namespace mail {

zarn_ui::LaunchConfig launch_config() {
  zarn_ui::LaunchConfig config;
  config.app_id = "so.zarn.mail";
  for (std::string_view s : scene_names) config.scenes.emplace_back(s);
  config.create = [] { return zarn_ui::WidgetBox(MailApp::create()); };
  config.create_for_scene = [](const zarn_ui::LaunchContext& ctx) {
    return zarn_ui::WidgetBox(MailApp::create_for_scene(ctx.scene.value_or(std::string(default_scene))));
  };
  config.after_create = [](zarn_ui::App& app) { app.set_window_title("Mail"); };
  config.window_size = [](const zarn_ui::LaunchContext& ctx) {
    return scene_size(ctx.scene.value_or(std::string(default_scene)));
  };
  config.scene_allowed = [](std::string_view) { return true; };
  config.open_persistence = zarn_ui::persist::open;
  config.options = {1, 0, 1, 1};
  return config;
}

}  // namespace mail
