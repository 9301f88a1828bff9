#include <gtest/gtest.h>

#include <QImage>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "app/scenes.h"
#include "state/accounts.h"
#include "ui_support.h"
#include "zarn_ui/launch.h"
#include "zarn_ui/theme.h"

namespace fs = std::filesystem;

namespace {

struct AppRun {
  int status = -1;
  std::string out;
};

// Runs the app with the given environment prefix, capturing standard output.
AppRun run_app(const std::string& env, const std::string& args) {
  const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY " + env + " '" + ZARN_MAIL_EXE +
                          "' " + args + " 2>/dev/null";
  AppRun r;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf{};
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

fs::path temp(const std::string& name) {
  fs::path p = fs::temp_directory_path() / ("mail-launcher-" + std::to_string(::getpid()) + "-" + name);
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

int accent_pixels(const fs::path& png) {
  QImage image(QString::fromStdString(png.string()));
  return ui_support::count_near(image, image.rect(), zarn_ui::Theme::dark().colors.accent, 12);
}

}  // namespace

TEST(Launcher, ListsTheScenesInOrder) {
  AppRun r = run_app("", "--list-scenes");
  EXPECT_EQ(r.status, 0);
  std::string want;
  for (auto s : mail::scene_names) want += std::string(s) + "\n";
  EXPECT_EQ(r.out, want);
}

TEST(Launcher, CommandLineParsing) {
  using zarn_ui::launch::parse_command_line;
  auto cl = parse_command_line({"--scene", "narrow", "--screenshot=out.png"});
  EXPECT_EQ(cl.scene, "narrow");
  EXPECT_EQ(cl.screenshot, "out.png");
  EXPECT_FALSE(cl.error);
  EXPECT_TRUE(parse_command_line({"--scene"}).error);
  EXPECT_TRUE(parse_command_line({"--bogus"}).error);
  EXPECT_TRUE(parse_command_line({"--list-scenes"}).list_scenes);
  EXPECT_EQ(run_app("", "--frobnicate").status, 2);
}

TEST(Launcher, ScreenshotsHaveTheScenesSizeAndThePathIsPrinted) {
  const fs::path dir = temp("shots");
  for (auto [scene, w, h] : {std::tuple{"firstrun", 1100, 780}, std::tuple{"narrow", 560, 860},
                             std::tuple{"bogus", 1280, 800}}) {
    const fs::path png = dir / (std::string(scene) + ".png");
    AppRun r = run_app("", std::string("--scene ") + scene + " --screenshot '" + png.string() + "'");
    EXPECT_EQ(r.status, 0) << scene;
    EXPECT_EQ(r.out, png.string() + "\n");
    QImage image(QString::fromStdString(png.string()));
    EXPECT_EQ(image.size(), QSize(w, h)) << scene;
  }
  fs::remove_all(dir);
}

TEST(Launcher, WithoutADisplayRendersTheWideSceneIntoTheWorkingFolder) {
  const fs::path dir = temp("headless");
  const std::string cmd = "cd '" + dir.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY '" +
                          ZARN_MAIL_EXE + "' > out.txt 2>/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream printed(dir / "out.txt");
  std::string line;
  std::getline(printed, line);
  EXPECT_EQ(line, (dir / "zarn-mail-wide.png").string());
  EXPECT_EQ(QImage(QString::fromStdString(line)).size(), QSize(1280, 800));
  fs::remove_all(dir);
}

TEST(Launcher, LiveStartShowsFirstRunUntilAnAccountIsStored) {
  const fs::path config = temp("config");
  const std::string env = "XDG_CONFIG_HOME='" + config.string() + "' XDG_DATA_HOME='" +
                          (config / "data").string() + "'";
  const fs::path empty_png = config / "empty.png";
  AppRun r = run_app(env, "--screenshot '" + empty_png.string() + "'");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(QImage(QString::fromStdString(empty_png.string())).size(), QSize(1280, 800));
  EXPECT_GT(accent_pixels(empty_png), 2000);  // the "Add account" button

  mail::AccountSettings s;
  s.display_name = "Ada";
  s.email = "ada@example.org";
  s.imap_host = "imap.example.org";
  s.smtp_host = "smtp.example.org";
  s.username = "ada";
  ASSERT_TRUE(mail::save_accounts({mail::new_account(s)}, 0, config / "zarn"));
  const fs::path account_png = config / "account.png";
  r = run_app(env, "--screenshot '" + account_png.string() + "'");
  ASSERT_EQ(r.status, 0);
  EXPECT_LT(accent_pixels(account_png), 2000);
  fs::remove_all(config);
}
