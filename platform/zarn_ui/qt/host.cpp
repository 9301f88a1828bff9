// The Qt host: process entry, the window, the frame timer and offscreen renders.

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "zarn_ui/frame_loop.h"
#include "zarn_ui/i18n.h"
#include "zarn_ui/launch.h"
#include "zarn_ui/qt/event_translate.h"
#include "zarn_ui/qt/qt_painter.h"

namespace zarn_ui {
namespace {

class HostApp : public App {
 public:
  void set_window_title(const std::string& title) override { title_ = title; }
  std::string window_title() const override { return title_; }

 private:
  std::string title_;
};

bool has_display() {
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY");
}

void print_usage(const LaunchConfig& config, std::ostream& out) {
  out << "usage: " << config.app_id
      << " [--scene NAME] [--list-scenes] [--screenshot PATH] [--help]\n"
         "  --scene NAME       start in a preview scene (see --list-scenes)\n"
         "  --list-scenes      print the preview scene names\n"
         "  --screenshot PATH  render the window to a PNG and exit\n";
}

std::optional<std::filesystem::path> data_folder(const std::string& app_id) {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return std::filesystem::path(xdg) / "zarn" / app_id;
  const char* home = std::getenv("HOME");
  if (home && *home == '/') return std::filesystem::path(home) / ".local/share/zarn" / app_id;
  return std::nullopt;
}

// The replicated document for this start: kept on disk for the live start,
// a fresh one in memory for preview scenes (they never touch user data).
persist::Document open_document(const LaunchConfig& config, const LaunchContext& context) {
  if (context.scene || !config.open_persistence || config.options[2] == 0) return {};
  auto folder = data_folder(config.app_id);
  if (!folder) return {};
  auto doc = config.open_persistence(*folder / "replicated");
  if (!doc) {
    std::cerr << config.app_id << ": could not open saved state: " << doc.error() << "\n";
    return {};
  }
  return std::move(*doc);
}

WidgetBox build_root(const LaunchConfig& config, const LaunchContext& context, HostApp& app) {
  WidgetBox root =
      context.scene && config.create_for_scene ? config.create_for_scene(context) : config.create();
  if (root && config.after_create) config.after_create(app);
  return root;
}

Size window_size(const LaunchConfig& config, const LaunchContext& context) {
  if (config.window_size) return config.window_size(context);
  return {1280, 800};
}

void trace_first_frame() {
  if (std::getenv("ZARN_UI_TRACE_FIRST_FRAME") == nullptr) return;
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::fprintf(stderr, "first-frame-realtime-ns %lld\n",
               static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec);
}

class HostWindow : public QWidget {
 public:
  HostWindow(WidgetBox root, ::persist::Document document, qt::QtTextRenderer& text)
      : root_(std::move(root)),
        document_(std::move(document)),
        text_(text),
        loop_(*root_, text_, &document_) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Workers ask for a frame from their own threads: post to this thread.
    loop_.waker()->set_notify([this] {
      QMetaObject::invokeMethod(
          this, [this] { schedule(std::chrono::milliseconds(0)); }, Qt::QueuedConnection);
    });
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { frame(); });
    save_timer_.setInterval(2000);
    QObject::connect(&save_timer_, &QTimer::timeout, [this] { save_document(); });
    save_timer_.start();
  }
  ~HostWindow() override {
    loop_.waker()->set_notify(nullptr);
    save_document();
  }

  void schedule(std::chrono::milliseconds delay) {
    if (!timer_.isActive() || timer_.remainingTime() > delay.count()) {
      timer_.start(static_cast<int>(delay.count()));
    }
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter qp(this);
    qt::QtPainter painter(qp, text_);
    loop_.paint(painter, Clock::now());
    if (!first_painted_) {
      first_painted_ = true;
      trace_first_frame();
    }
    loop_.finish_frame();
    plan_next();
  }
  void resizeEvent(QResizeEvent*) override {
    loop_.resize({static_cast<float>(width()), static_cast<float>(height())});
    schedule(std::chrono::milliseconds(0));
  }
  void keyPressEvent(QKeyEvent* e) override { deliver(qt::translate_key(*e, true)); }
  void keyReleaseEvent(QKeyEvent* e) override { deliver(qt::translate_key(*e, false)); }
  // Qt reports positions in device-independent pixels, already divided by the
  // screen's device pixel ratio, which is the window's scale factor here.
  void mousePressEvent(QMouseEvent* e) override { deliver(qt::translate_mouse(*e, 1.0)); }
  void mouseDoubleClickEvent(QMouseEvent* e) override { deliver(qt::translate_mouse(*e, 1.0)); }
  void mouseReleaseEvent(QMouseEvent* e) override { deliver(qt::translate_mouse(*e, 1.0)); }
  void mouseMoveEvent(QMouseEvent* e) override { deliver(qt::translate_mouse(*e, 1.0)); }
  void wheelEvent(QWheelEvent* e) override { deliver(qt::translate_wheel(*e, 1.0)); }
  void enterEvent(QEnterEvent* e) override {
    const QPointF p = e->position();
    deliver(PointerEnter{{static_cast<float>(p.x()), static_cast<float>(p.y())}});
  }
  void leaveEvent(QEvent*) override { deliver(PointerLeave{}); }
  void focusInEvent(QFocusEvent*) override { deliver(FocusIn{}); }
  void focusOutEvent(QFocusEvent*) override { deliver(FocusOut{}); }
  void inputMethodEvent(QInputMethodEvent* e) override {
    for (const Event& ev : qt::translate_input_method(*e, composing_)) {
      if (const auto* pre = std::get_if<Preedit>(&ev)) composing_ = !pre->text.empty();
      deliver(ev);
    }
    e->accept();
  }
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override {
    if (query == Qt::ImEnabled) return true;
    if (query == Qt::ImCursorRectangle) {
      // The candidate window goes by the focused widget.
      if (const Widget* w = loop_.focused()) {
        const Rect b = w->bounds();
        return QRectF(b.left, b.top, b.width(), b.height());
      }
      return QRectF();
    }
    return QWidget::inputMethodQuery(query);
  }
  bool focusNextPrevChild(bool) override { return false; }  // Tab belongs to the widgets

 private:
  void deliver(std::optional<Event> event) {
    if (!event) return;
    loop_.dispatch(*event);
    show_cursor();
    if (loop_.wants_frame()) schedule(std::chrono::milliseconds(0));
  }
  void frame() {
    // Qt positions are in device-independent pixels already; the ratio is
    // what layout rounds to.
    loop_.set_scale(static_cast<float>(devicePixelRatioF()));
    loop_.run_frame(Clock::now());
    show_cursor();
    update();  // paintEvent draws, finishes the frame and plans the next
  }
  void show_cursor() {
    const Qt::CursorShape shape = qt::cursor_shape(loop_.cursor());
    if (cursor().shape() != shape) setCursor(shape);
  }
  void plan_next() {
    if (loop_.wants_frame()) {
      schedule(std::chrono::milliseconds(16));
    } else if (auto at = loop_.wake_at()) {
      auto delay = std::chrono::duration_cast<std::chrono::milliseconds>(*at - Clock::now());
      schedule(std::max(delay, std::chrono::milliseconds(0)));
    }
  }
  void save_document() {
    if (!document_.dirty()) return;
    if (auto r = document_.save(); !r) std::cerr << "could not save state: " << r.error() << "\n";
  }

  WidgetBox root_;
  ::persist::Document document_;
  qt::QtTextRenderer& text_;
  FrameLoop loop_;
  QTimer timer_, save_timer_;
  bool first_painted_ = false;
  bool composing_ = false;
};

qt::QtTextRenderer& shared_renderer() {
  static qt::QtTextRenderer renderer;
  install_shared_text(&renderer);
  return renderer;
}

}  // namespace

namespace launch {

CommandLine parse_command_line(const std::vector<std::string>& args) {
  CommandLine cl;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::optional<std::string>& slot) {
      if (i + 1 >= args.size()) {
        cl.error = a + " needs a value";
      } else {
        slot = args[++i];
      }
    };
    if (a == "--scene")
      value(cl.scene);
    else if (a.starts_with("--scene="))
      cl.scene = a.substr(8);
    else if (a == "--screenshot")
      value(cl.screenshot);
    else if (a.starts_with("--screenshot="))
      cl.screenshot = a.substr(13);
    else if (a == "--list-scenes")
      cl.list_scenes = true;
    else if (a == "--help" || a == "-h")
      cl.help = true;
    else
      cl.error = "unknown argument \"" + a + "\"";
    if (cl.error) break;
  }
  return cl;
}

std::expected<Size, std::string> render_to_png(const LaunchConfig& config,
                                               const LaunchContext& context,
                                               const std::filesystem::path& png,
                                               std::chrono::milliseconds limit) {
  qt::QtTextRenderer& text = shared_renderer();
  HostApp app;
  ::persist::Document document = open_document(config, context);
  WidgetBox root = build_root(config, context, app);
  if (!root) return std::unexpected("the application built no window");
  const Size size = window_size(config, context);
  const int w = std::max(1, static_cast<int>(size.width));
  const int h = std::max(1, static_cast<int>(size.height));
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);

  FrameLoop loop(*root, text, &document);
  loop.resize({static_cast<float>(w), static_cast<float>(h)});
  const Instant deadline = Clock::now() + limit;
  for (;;) {
    loop.run_frame(Clock::now());
    image.fill(Qt::transparent);
    {
      QPainter qp(&image);
      qt::QtPainter painter(qp, text);
      loop.paint(painter, Clock::now());
    }
    if (loop.frames() == 1) trace_first_frame();
    loop.finish_frame();
    QCoreApplication::processEvents();
    const Instant now = Clock::now();
    if (now >= deadline) break;
    if (loop.wants_frame()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(16));
      continue;
    }
    auto at = loop.wake_at();
    if (!at || *at >= deadline) break;
    loop.waker()->wait_until(*at);
  }
  std::error_code ec;
  if (png.has_parent_path()) std::filesystem::create_directories(png.parent_path(), ec);
  if (!image.save(QString::fromStdString(png.string()), "PNG")) {
    return std::unexpected("could not write " + png.string());
  }
  return Size{static_cast<float>(w), static_cast<float>(h)};
}

}  // namespace launch

namespace {

// The process's own arguments, kept alive for QApplication, which wants them
// for the whole run.
struct ProcessArguments {
  int argc = 0;
  char** argv = nullptr;
  std::vector<std::string> args;  // without the program name
};

// The entry point hands over no arguments: read them from the kernel.
ProcessArguments read_process_arguments(const LaunchConfig& config) {
  static std::vector<std::string> storage;
  static std::vector<char*> pointers;
  if (std::FILE* f = std::fopen("/proc/self/cmdline", "rb")) {
    std::string all;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) all.append(buf, n);
    std::fclose(f);
    std::size_t start = 0;
    while (start < all.size()) {
      std::size_t end = all.find('\0', start);
      if (end == std::string::npos) end = all.size();
      storage.push_back(all.substr(start, end - start));
      start = end + 1;
    }
  }
  if (storage.empty()) storage.push_back(config.app_id);
  for (auto& s : storage) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  ProcessArguments out;
  out.argc = static_cast<int>(storage.size());
  out.argv = pointers.data();
  out.args.assign(storage.begin() + 1, storage.end());
  return out;
}

// Answers --help, --list-scenes and a bad command line, each ending the
// process; returns only when a window or a screenshot is wanted.
void answer_informational_or_exit(const LaunchConfig& config, const launch::CommandLine& cl) {
  if (cl.error) {
    std::cerr << config.app_id << ": " << *cl.error << "\n";
    print_usage(config, std::cerr);
    std::exit(2);
  }
  if (cl.help) {
    print_usage(config, std::cout);
    std::exit(0);
  }
  if (cl.list_scenes) {
    for (const auto& s : config.scenes) std::cout << s << "\n";
    std::exit(0);
  }
}

LaunchContext context_or_exit(const LaunchConfig& config, const launch::CommandLine& cl) {
  LaunchContext context;
  if (cl.scene) {
    if (config.scene_allowed && !config.scene_allowed(*cl.scene)) {
      std::cerr << config.app_id << ": scene \"" << *cl.scene << "\" is not available\n";
      std::exit(2);
    }
    context.scene = cl.scene;
  }
  return context;
}

// Offscreen rendering needs the offscreen platform and a private runtime
// folder, which a machine without a session lacks.
void prepare_offscreen_environment() {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (std::getenv("XDG_RUNTIME_DIR") != nullptr) return;
  // One folder per user, private to them, reused by later runs.
  const std::string dir = "/tmp/zarn-runtime-" + std::to_string(::getuid());
  struct stat st {};
  if ((::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) && ::lstat(dir.c_str(), &st) == 0 &&
      S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0) {
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
}

// Without a display: the scene asked for (else the first) as
// "zarn-<app>-<scene>.png" in the current folder.
std::string default_screenshot_path(const LaunchConfig& config, LaunchContext& context) {
  if (!context.scene && !config.scenes.empty()) context.scene = config.scenes.front();
  const std::string name = config.app_id.substr(config.app_id.rfind('.') + 1);
  return (std::filesystem::current_path() /
          ("zarn-" + name + "-" + context.scene.value_or("live") + ".png"))
      .string();
}

[[noreturn]] void write_screenshot_and_exit(const LaunchConfig& config,
                                            const LaunchContext& context, const std::string& path) {
  auto written = launch::render_to_png(config, context, path);
  if (!written) {
    std::cerr << config.app_id << ": " << written.error() << "\n";
    std::exit(1);
  }
  std::cout << std::filesystem::absolute(path).string() << "\n";
  std::cout.flush();
  std::exit(0);
}

[[noreturn]] void run_window_and_exit(const LaunchConfig& config, const LaunchContext& context,
                                      QApplication& qapp) {
  qt::QtTextRenderer& text = shared_renderer();
  HostApp app;
  ::persist::Document document = open_document(config, context);
  WidgetBox root = build_root(config, context, app);
  if (!root) {
    std::cerr << config.app_id << ": the application built no window\n";
    std::exit(1);
  }
  const Size size = window_size(config, context);
  int status = 0;
  {
    // The window (and with it the application) is gone before the process
    // exits, so its state is saved and its temporary files are removed.
    HostWindow window(std::move(root), std::move(document), text);
    window.setWindowTitle(QString::fromStdString(app.window_title()));
    window.resize(static_cast<int>(size.width), static_cast<int>(size.height));
    window.show();
    window.schedule(std::chrono::milliseconds(0));
    status = qapp.exec();
  }
  std::exit(status);
}

}  // namespace

void run_or_exit(LaunchConfig config) {
  ProcessArguments process = read_process_arguments(config);
  launch::CommandLine cl = launch::parse_command_line(process.args);
  answer_informational_or_exit(config, cl);
  LaunchContext context = context_or_exit(config, cl);

  const bool headless = !has_display();
  if (headless || cl.screenshot) prepare_offscreen_environment();
  // Nothing to show a window on: render the scene asked for instead.
  if (headless && !cl.screenshot) cl.screenshot = default_screenshot_path(config, context);

  QApplication qapp(process.argc, process.argv);
  if (I18nManager::global().current_locale().empty()) {
    I18nManager::global().init(I18nManager::locale_from_environment());
  }
  if (cl.screenshot) write_screenshot_and_exit(config, context, *cl.screenshot);
  run_window_and_exit(config, context, qapp);
}

}  // namespace zarn_ui
