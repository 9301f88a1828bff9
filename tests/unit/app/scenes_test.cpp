#include <gtest/gtest.h>

#include <set>

#include "app/launch_config.h"
#include "app/scenes.h"

TEST(Scenes, TwentyThreeDistinctNamesInLauncherOrder) {
  const auto config = mail::launch_config();
  ASSERT_EQ(config.scenes.size(), 23u);
  EXPECT_EQ(config.scenes.front(), "wide");
  EXPECT_EQ(config.scenes[16], "bulk_purge_confirmation");
  EXPECT_EQ(config.scenes.back(), "error");
  EXPECT_EQ(std::set<std::string>(config.scenes.begin(), config.scenes.end()).size(), 23u);
  EXPECT_EQ(config.app_id, "so.zarn.mail");
  EXPECT_EQ(config.options, (std::array<std::uint8_t, 4>{1, 0, 1, 1}));
  EXPECT_TRUE(config.scene_allowed("anything"));
}

TEST(Scenes, WindowSizes) {
  struct Case {
    const char* scene;
    float w, h;
  } cases[] = {
      {"narrow", 560, 860},      {"narrow_detail", 560, 860}, {"narrow_drawer", 560, 860},
      {"compose_narrow", 560, 860}, {"setup_narrow", 560, 860}, {"mid", 1000, 720},
      {"compose", 1180, 820},    {"reply", 1180, 820},        {"setup", 1100, 780},
      {"setup_add", 1100, 780},  {"setup_oauth", 1100, 780},  {"firstrun", 1100, 780},
      {"error", 1100, 780},      {"html_mail", 1280, 820},    {"wide", 1280, 800},
      {"bogus", 1280, 800},      {"", 1280, 800},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(mail::scene_size(c.scene), (zarn_ui::Size{c.w, c.h})) << c.scene;
  }
  // No scene name in the launch context behaves as "wide".
  EXPECT_EQ(mail::launch_config().window_size(zarn_ui::LaunchContext{}), (zarn_ui::Size{1280, 800}));
}

TEST(Scenes, CreationHookTitlesTheWindowMail) {
  struct RecordingApp : zarn_ui::App {
    std::string title;
    void set_window_title(const std::string& t) override { title = t; }
    std::string window_title() const override { return title; }
  } app;
  mail::launch_config().after_create(app);
  EXPECT_EQ(app.window_title(), "Mail");
}
