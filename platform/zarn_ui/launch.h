#pragma once
// Process entry: an application fills a LaunchConfig and hands it to
// run_or_exit(), which owns the process from then on.
//
// Command line understood by every application:
//   --scene NAME        build the named preview scene instead of the live start
//   --list-scenes       print the scene names, one per line, and exit
//   --screenshot PATH   build, run frames until no work is pending (or 2 s),
//                       write a PNG of the window at scale 1 and exit
//   --help
// Without a display (no DISPLAY / WAYLAND_DISPLAY) and without --screenshot,
// the scene asked for (default: the first scene) is rendered to
// "<app>-<scene>.png" in the working folder, whose path is printed.

#include <array>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "persist/persist.h"
#include "zarn_ui/geometry.h"
#include "zarn_ui/widget.h"

namespace zarn_ui {

struct LaunchContext {
  std::optional<std::string> scene;  // absent for the live start
};

// The host application object handed to the creation hook.
class App {
 public:
  virtual ~App() = default;
  virtual void set_window_title(const std::string& title) = 0;
  virtual std::string window_title() const = 0;
};

using PersistOpener =
    std::function<std::expected<::persist::Document, std::string>(const std::filesystem::path&)>;

struct LaunchConfig {
  std::string app_id;
  // Lists offered to the suite: MIME types and URL schemes handled, services
  // provided, permissions asked for.
  std::vector<std::string> mime_types, url_schemes, services, permissions;
  std::vector<std::string> scenes;
  std::function<WidgetBox()> create;
  std::function<WidgetBox(const LaunchContext&)> create_for_scene;
  std::function<void(App&)> after_create;
  std::function<Size(const LaunchContext&)> window_size;
  // Which scenes may be built from the command line.
  std::function<bool(std::string_view)> scene_allowed;
  // Opens the replicated document kept for the application.
  PersistOpener open_persistence;
  // Option bytes: [0] window resizable, [1] start full screen,
  // [2] keep the replicated document on disk, [3] accessibility bridge on.
  std::array<std::uint8_t, 4> options{1, 0, 1, 1};
};

// Never returns: exits with the application's status.
[[noreturn]] void run_or_exit(LaunchConfig config);

// The parts of run_or_exit that tests drive without exiting the process.
namespace launch {

struct CommandLine {
  std::optional<std::string> scene;
  std::optional<std::string> screenshot;
  bool list_scenes = false;
  bool help = false;
  std::optional<std::string> error;
};
CommandLine parse_command_line(const std::vector<std::string>& args);

// Builds the root widget for a scene (or the live start) and renders frames
// until no work is pending or `limit` passes, then writes a PNG. Returns the
// image size written, or an error.
std::expected<Size, std::string> render_to_png(const LaunchConfig& config,
                                               const LaunchContext& context,
                                               const std::filesystem::path& png,
                                               std::chrono::milliseconds limit =
                                                   std::chrono::milliseconds(2000));

inline void run_or_exit(LaunchConfig config) { zarn_ui::run_or_exit(std::move(config)); }

}  // namespace launch
}  // namespace zarn_ui
