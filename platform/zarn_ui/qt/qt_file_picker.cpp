#include "zarn_ui/qt/qt_file_picker.h"

#include <QApplication>
#include <QFileDialog>
#include <QPointer>
#include <QThread>
#include <condition_variable>
#include <mutex>

namespace zarn_ui::qt {
namespace {

QString qs(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Where the dialog's answer meets the waiting request thread.
struct Meeting {
  std::mutex mutex;
  std::condition_variable done;
  bool answered = false;
  std::optional<PickAnswer> answer;  // nothing: the dialog went away unanswered
};

// Held by the posted call and by the dialog's connections; when the last
// holder goes (dialog destroyed, application gone) without an answer, the
// chooser has vanished.
class Answer {
 public:
  explicit Answer(std::shared_ptr<Meeting> m) : meeting_(std::move(m)) {}
  ~Answer() { give(std::nullopt); }
  void give(std::optional<PickAnswer> a) {
    {
      std::lock_guard lock(meeting_->mutex);
      if (meeting_->answered) return;
      meeting_->answered = true;
      meeting_->answer = std::move(a);
    }
    meeting_->done.notify_all();
  }

 private:
  std::shared_ptr<Meeting> meeting_;
};

QString name_filter(const FileFilter& f) {
  QStringList patterns;
  for (const auto& p : f.patterns) patterns << qs(p);
  return qs(f.name) + " (" + patterns.join(' ') + ")";
}

void show_dialog(const PickRequest& request, std::shared_ptr<Answer> answer) {
  auto* dialog = new QFileDialog(QApplication::activeWindow(), qs(request.title()));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  const bool save = request.mode() == PickMode::Save;
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.accept_label().empty())
    dialog->setLabelText(QFileDialog::Accept, qs(request.accept_label()));
  QStringList filters;
  for (const FileFilter& f : request.filters()) filters << name_filter(f);
  if (!filters.isEmpty()) dialog->setNameFilters(filters);
  if (!request.suggested_name().empty()) dialog->selectFile(qs(request.suggested_name()));
  QObject::connect(dialog, &QFileDialog::fileSelected, dialog, [answer](const QString& file) {
    answer->give(PickChosen{std::filesystem::path(file.toStdString())});
  });
  QObject::connect(dialog, &QDialog::rejected, dialog, [answer] { answer->give(PickCancelled{}); });
  dialog->open();
}

}  // namespace

std::optional<PickAnswer> QtFilePicker::run(const PickRequest& request) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!app) return PickFailed{"the file chooser needs the desktop's window system"};
  if (QThread::currentThread() == app->thread()) {
    return PickFailed{"the file chooser cannot wait on the UI thread"};
  }
  auto meeting = std::make_shared<Meeting>();
  {
    auto answer = std::make_shared<Answer>(meeting);
    QMetaObject::invokeMethod(
        app, [request, answer]() mutable { show_dialog(request, std::move(answer)); },
        Qt::QueuedConnection);
  }
  std::unique_lock lock(meeting->mutex);
  meeting->done.wait(lock, [&] { return meeting->answered; });
  return meeting->answer;
}

}  // namespace zarn_ui::qt
