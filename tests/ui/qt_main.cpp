// GoogleTest entry for tests that render through Qt: offscreen platform, one
// application object for the whole run.
#include <QApplication>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
    const std::string dir = "/tmp/zarn-runtime-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
