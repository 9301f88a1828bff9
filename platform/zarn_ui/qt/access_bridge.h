#pragma once
// Shows a widget tree's accessibility nodes (AccessNode) to the desktop's
// assistive technologies through Qt's accessibility interfaces; on Linux Qt
// carries them to the AT-SPI bus. Roles, names, descriptions, values,
// selected / focused / editable / checked / busy states, bounds on screen and
// the default action come from the nodes; actions go back as semantic actions
// on node ids.
//
// Everything here runs on the UI thread. The tree is read from the source
// when the host says a frame is done (and assistive technology is listening)
// and when one first asks for it; interfaces of nodes that stay (same id, or
// the same place, role and name) keep their identity across refreshes.

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "zarn_ui/access.h"

namespace zarn_ui::qt {

class AccessBridge {
 public:
  struct Source {
    std::function<AccessNode()> tree;
    // Performs a semantic action on a node id; whether it was handled.
    std::function<bool(std::string_view id, SemanticAction action, std::string_view value)> act;
  };

  // Serves `window`'s accessibility from `source` until destroyed.
  AccessBridge(QWidget& window, Source source);
  ~AccessBridge();
  AccessBridge(const AccessBridge&) = delete;
  AccessBridge& operator=(const AccessBridge&) = delete;

  // After each frame: the tree may have changed.
  void frame_done();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace zarn_ui::qt
