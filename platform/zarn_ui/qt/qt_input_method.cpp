#include "zarn_ui/qt/qt_input_method.h"

#include <algorithm>

namespace zarn_ui::qt {

std::vector<Event> translate_input_method(const QInputMethodEvent& e) {
  std::vector<Event> out;
  if (!e.commitString().isEmpty()) out.emplace_back(TextEvent{e.commitString().toStdString()});
  const QString preedit = e.preeditString();
  if (!preedit.isEmpty() || out.empty()) {
    // Qt gives the composition's cursor in UTF-16 units; Preedit wants bytes.
    int cursor = static_cast<int>(preedit.size());
    for (const QInputMethodEvent::Attribute& a : e.attributes()) {
      if (a.type == QInputMethodEvent::Cursor)
        cursor = std::clamp(a.start, 0, static_cast<int>(preedit.size()));
    }
    out.emplace_back(
        Preedit{preedit.toStdString(), static_cast<int>(preedit.left(cursor).toUtf8().size())});
  }
  return out;
}

}  // namespace zarn_ui::qt
