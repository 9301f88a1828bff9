// Qt's file dialog as the desktop chooser: offscreen, answered, dismissed and
// destroyed while the UI thread keeps running frames.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <thread>

#include "zarn_ui/qt/qt_file_picker.h"

using namespace zarn_ui;
using namespace std::chrono_literals;

namespace {

// Runs UI-thread "frames" (events, then a poll) until `done` or five seconds.
template <typename Done>
bool frames_until(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < deadline) {
    QApplication::processEvents();
    if (done()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

QFileDialog* open_dialog() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) return d;
  }
  return nullptr;
}

// Picks `path` as a user would: its folder, then its name, then the accept button.
void choose(QFileDialog* dialog, const QString& path) {
  const QFileInfo info(path);
  dialog->setDirectory(info.absolutePath());
  dialog->selectFile(info.fileName());
  frames_until([&] { return !dialog->selectedFiles().isEmpty(); });
  static_cast<QDialog*>(dialog)->accept();
}

}  // namespace

TEST(QtFilePicker, TheDialogAnswersThroughTheHandleWithoutBlockingTheUiThread) {
  QTemporaryDir dir;
  const QString file = dir.filePath("letter.txt");
  std::ofstream(file.toStdString()) << "dear";
  auto picker = std::make_shared<qt::QtFilePicker>();

  struct Case {
    const char* what;
    std::function<void(QFileDialog*)> answer;
    std::size_t alternative;
  };
  const std::vector<Case> cases = {
      // The offscreen dialog lists folders asynchronously; the save test
      // below goes through its accept button, this one answers as it does.
      {"chosen",
       [&](QFileDialog* d) {
         Q_EMIT d->fileSelected(file);
         static_cast<QDialog*>(d)->done(QDialog::Accepted);
       },
       0},
      {"cancelled", [](QFileDialog* d) { d->reject(); }, 1},
      {"vanished", [](QFileDialog* d) { delete d; }, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto handle = PickRequest::open("Attach file", "Attach")
                      .filter(FileFilter::all_files())
                      .picker(picker)
                      .send_open_file();
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(frames_until([&] { return (dialog = open_dialog()) != nullptr; }));
    EXPECT_EQ(dialog->windowTitle(), "Attach file");
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_FALSE(handle.poll().has_value());  // the dialog is open: nothing yet

    c.answer(dialog);
    std::optional<PickOutcome<OpenedFile>> outcome;
    ASSERT_TRUE(frames_until([&] { return (outcome = handle.poll()).has_value(); }));
    EXPECT_EQ(outcome->index(), c.alternative);
    if (auto* opened = std::get_if<OpenedFile>(&*outcome)) {
      EXPECT_EQ(opened->file_name(), "letter.txt");
    }
  }
}

TEST(QtFilePicker, ASaveDialogSuggestsTheNameAndGivesThePath) {
  QTemporaryDir dir;
  auto handle = PickRequest::save("Save attachment", "Save", "report.pdf")
                    .picker(std::make_shared<qt::QtFilePicker>())
                    .send();
  QFileDialog* dialog = nullptr;
  ASSERT_TRUE(frames_until([&] { return (dialog = open_dialog()) != nullptr; }));
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(dialog->labelText(QFileDialog::Accept), "Save");
  const QString target = dir.filePath("report.pdf");
  dialog->selectFile(target);
  choose(dialog, target);
  std::optional<PickOutcome<std::filesystem::path>> outcome;
  ASSERT_TRUE(frames_until([&] { return (outcome = handle.poll()).has_value(); }));
  ASSERT_TRUE(std::holds_alternative<std::filesystem::path>(*outcome));
  EXPECT_EQ(std::get<std::filesystem::path>(*outcome), target.toStdString());
}
