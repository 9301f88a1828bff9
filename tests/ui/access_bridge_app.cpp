// A window with a small widget tree (a button, a text input and a status
// text) served through the accessibility bridge, for the AT-SPI test
// (access_bridge_test.py). Activating the button counts presses in the
// status text; setting the field's value replaces its text.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "zarn_ui/qt/access_bridge.h"

using namespace zarn_ui;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName("zarn-access-bridge-test");

  int presses = 0;
  std::string subject = "Hello";
  QWidget window;
  window.setWindowTitle("Bridge test");
  window.resize(400, 200);

  std::unique_ptr<qt::AccessBridge> bridge;
  auto tree = [&] {
    AccessNode send(AccessRole::Button, "Send");
    send.with_id("test:send")
        .with_description("Sends the message")
        .with_bounds(Rect::xywh(20, 20, 80, 30));
    AccessNode field(AccessRole::TextField, "Subject");
    field.with_id("test:subject")
        .with_optional_value(subject)
        .with_bounds(Rect::xywh(20, 60, 300, 30));
    field.focused = true;
    AccessNode status(AccessRole::Status,
                      presses == 0 ? "Not sent" : "Sent " + std::to_string(presses));
    AccessNode root(AccessRole::Window, "Bridge test");
    root.with_children({std::move(send), std::move(field), std::move(status)});
    return root;
  };
  auto act = [&](std::string_view id, SemanticAction action, std::string_view value) {
    bool handled = false;
    if (id == "test:send" && action == SemanticAction::Activate) {
      ++presses;
      handled = true;
    } else if (id == "test:subject" && action == SemanticAction::SetValue) {
      subject = std::string(value);
      handled = true;
    }
    // As a host would: the next frame shows (and announces) the change.
    if (handled) QTimer::singleShot(0, [&] { bridge->frame_done(); });
    return handled;
  };
  // The bridge exists before the window is first shown, so Qt asks it.
  bridge = std::make_unique<qt::AccessBridge>(window, qt::AccessBridge::Source{tree, act});
  window.show();
  QTimer::singleShot(0, [&] { bridge->frame_done(); });
  const int status = app.exec();
  bridge.reset();
  return status;
}
