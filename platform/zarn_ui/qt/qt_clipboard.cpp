#include "zarn_ui/qt/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace zarn_ui::qt {

std::optional<std::string> QtClipboard::text() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) return std::nullopt;
  const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
  if (data == nullptr || !data->hasText()) return std::nullopt;
  return data->text().toStdString();
}

void QtClipboard::set_text(std::string_view text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) return;
  clipboard->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                     QClipboard::Clipboard);
}

}  // namespace zarn_ui::qt
