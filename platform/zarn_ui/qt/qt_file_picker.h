#pragma once
// The desktop's file chooser through Qt's file dialog, which uses the XDG
// desktop portal (or the desktop's native dialog) where the desktop offers
// one. The dialog lives on the UI thread and never blocks it: run() is called
// on the request's own thread, posts the dialog to the UI thread and waits
// there for the answer.

#include "zarn_ui/pick.h"

namespace zarn_ui::qt {

class QtFilePicker : public FilePicker {
 public:
  std::optional<PickAnswer> run(const PickRequest& request) override;
};

}  // namespace zarn_ui::qt
