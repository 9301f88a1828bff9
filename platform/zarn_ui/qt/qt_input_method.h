#pragma once
// Qt input-method events → toolkit events: what the input method commits
// becomes one TextEvent, the composition in progress a Preedit.

#include <QInputMethodEvent>
#include <vector>

#include "zarn_ui/event.h"

namespace zarn_ui::qt {

// In order: the committed text (if any), then the composition that follows it.
// An event with neither ends the composition with an empty Preedit. Qt's
// replacement of text around the caret is not used by the input methods of
// a single-line field and is ignored.
std::vector<Event> translate_input_method(const QInputMethodEvent& e);

}  // namespace zarn_ui::qt
