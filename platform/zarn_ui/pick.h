#pragma once
// File pickers: the desktop's file chooser, asked without blocking the UI
// thread. A request runs on a thread of its own (named by the caller); the
// UI thread polls the returned handle once per frame and learns one of: a
// chosen file, a cancellation, a failure to open the chooser, or that the
// chooser went away without an answer.
//
//   auto handle = PickRequest::open("Attach file", "Attach")
//                     .thread_name("mail-portal-stage-attachment")
//                     .filter(FileFilter::all_files())
//                     .send_open_file();
//   ... each frame: if (auto outcome = handle.poll()) { … }

#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace zarn_ui {

struct FileFilter {
  std::string name;                   // "All files"
  std::vector<std::string> patterns;  // "*", "*.pdf"
  static FileFilter all_files() { return {"All files", {"*"}}; }
};

enum class PickMode { Open, Save };

// What a chooser answers: a path, or that the user cancelled, or why it
// could not be shown.
struct PickChosen {
  std::filesystem::path path;
};
struct PickCancelled {};
struct PickFailed {
  std::string reason;
};
using PickAnswer = std::variant<PickChosen, PickCancelled, PickFailed>;

class PickRequest;

// The desktop's file chooser. run() is called on the request's own thread
// and may block until the user answers; it returns nothing when the chooser
// went away without an answer (closed by the desktop, its service gone).
class FilePicker {
 public:
  virtual ~FilePicker() = default;
  virtual std::optional<PickAnswer> run(const PickRequest& request) = 0;
};

// The chooser of the running desktop, installed by the host before the first
// widget is built; requests sent without one fail with a reason.
std::shared_ptr<FilePicker> installed_file_picker();
void install_file_picker(std::shared_ptr<FilePicker> picker);

// A file chosen for reading, opened on the request's thread.
class OpenedFile {
 public:
  struct Closer {
    void operator()(std::FILE* f) const {
      if (f) std::fclose(f);
    }
  };
  using FilePtr = std::unique_ptr<std::FILE, Closer>;

  OpenedFile(std::filesystem::path path, FilePtr file)
      : path_(std::move(path)), file_(std::move(file)) {}
  const std::filesystem::path& path() const { return path_; }
  std::string file_name() const { return path_.filename().string(); }
  // The open file (read-only, binary); the caller owns it from here.
  FilePtr into_file() && { return std::move(file_); }

 private:
  std::filesystem::path path_;
  FilePtr file_;
};

// How a request ended, as the polling side sees it.
struct PickVanished {};  // the chooser went away without an answer
template <typename T>
using PickOutcome = std::variant<T, PickCancelled, PickFailed, PickVanished>;

namespace detail {
template <typename T>
struct PickSlot {
  std::mutex mutex;
  std::optional<PickOutcome<T>> outcome;
};
}  // namespace detail

// The polling side of a request. poll() never blocks: nothing while the
// chooser is open, then the outcome exactly once, then nothing again.
template <typename T>
class PickHandle {
 public:
  explicit PickHandle(std::shared_ptr<detail::PickSlot<T>> slot) : slot_(std::move(slot)) {}
  std::optional<PickOutcome<T>> poll() {
    if (!slot_) return std::nullopt;
    std::lock_guard lock(slot_->mutex);
    if (!slot_->outcome) return std::nullopt;
    std::optional<PickOutcome<T>> out = std::move(slot_->outcome);
    slot_->outcome.reset();
    slot_ = nullptr;
    return out;
  }
  // False once the outcome has been taken.
  bool pending() const { return slot_ != nullptr; }

 private:
  std::shared_ptr<detail::PickSlot<T>> slot_;
};

class PickRequest {
 public:
  static PickRequest open(std::string title, std::string accept_label);
  static PickRequest save(std::string title, std::string accept_label, std::string suggested_name);

  PickRequest& thread_name(std::string name);
  PickRequest& filter(FileFilter f);
  // Ask this chooser instead of the installed one.
  PickRequest& picker(std::shared_ptr<FilePicker> p);

  // A chosen path (save, or open without opening).
  PickHandle<std::filesystem::path> send() const;
  // A chosen file opened for reading on the request's thread, so a slow
  // file system never holds up a frame.
  PickHandle<OpenedFile> send_open_file() const;

  PickMode mode() const { return mode_; }
  const std::string& title() const { return title_; }
  const std::string& accept_label() const { return accept_label_; }
  const std::string& suggested_name() const { return suggested_name_; }
  const std::string& thread() const { return thread_name_; }
  const std::vector<FileFilter>& filters() const { return filters_; }

 private:
  template <typename T, typename Finish>
  PickHandle<T> start(Finish finish) const;

  PickRequest(PickMode mode, std::string title, std::string accept_label, std::string suggested)
      : mode_(mode),
        title_(std::move(title)),
        accept_label_(std::move(accept_label)),
        suggested_name_(std::move(suggested)) {}

  PickMode mode_;
  std::string title_, accept_label_, suggested_name_;
  std::string thread_name_ = "zarn-file-picker";
  std::vector<FileFilter> filters_;
  std::shared_ptr<FilePicker> picker_;
};

}  // namespace zarn_ui
