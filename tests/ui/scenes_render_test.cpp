#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "app/launch_config.h"
#include "app/scenes.h"
#include "ui_support.h"
#include "zarn_ui/theme.h"

namespace fs = std::filesystem;

namespace {
fs::path out_dir() {
  fs::path dir = fs::path(ZARN_BINARY_DIR) / "tests" / "ui" / "scenes";
  fs::create_directories(dir);
  return dir;
}
}  // namespace

TEST(Scenes, EveryScenesRendersAtItsSize) {
  const auto config = mail::launch_config();
  for (const std::string& scene : config.scenes) {
    const fs::path png = out_dir() / (scene + ".png");
    auto size = zarn_ui::launch::render_to_png(config, {scene}, png, std::chrono::milliseconds(200));
    ASSERT_TRUE(size) << scene << ": " << size.error();
    QImage image(QString::fromStdString(png.string()));
    ASSERT_FALSE(image.isNull()) << scene;
    const zarn_ui::Size want = mail::scene_size(scene);
    EXPECT_EQ(image.width(), static_cast<int>(want.width)) << scene;
    EXPECT_EQ(image.height(), static_cast<int>(want.height)) << scene;
  }
}

TEST(Scenes, FirstRunShowsItsCardButtonAndTextOnlyWithoutAccounts) {
  const auto config = mail::launch_config();
  const auto theme = zarn_ui::Theme::dark();
  const fs::path first = out_dir() / "firstrun-check.png";
  ASSERT_TRUE(zarn_ui::launch::render_to_png(config, {"firstrun"}, first));
  QImage image(QString::fromStdString(first.string()));
  // The "Add account" button: a pill of accent colour in the middle band.
  const QRect middle(image.width() / 4, image.height() / 4, image.width() / 2, image.height() / 2);
  EXPECT_GT(ui_support::count_near(image, middle, theme.colors.accent, 12), 2000);
  // Light text (title and body) on the card.
  EXPECT_GT(ui_support::count_near(image, middle, theme.colors.text, 30), 300);
  EXPECT_GT(ui_support::count_near(image, middle, theme.colors.surface_raised, 4), 20000);

  const fs::path wide = out_dir() / "wide-check.png";
  ASSERT_TRUE(zarn_ui::launch::render_to_png(config, {"wide"}, wide));
  QImage shell(QString::fromStdString(wide.string()));
  EXPECT_LT(ui_support::count_near(shell, shell.rect(), theme.colors.accent, 12), 2000);
}
