#include "zarn_ui/pick.h"

#include <pthread.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

namespace zarn_ui {
namespace {

std::mutex installed_mutex;
std::shared_ptr<FilePicker> installed;

void name_this_thread(const std::string& name) {
  // Linux keeps 15 bytes of a thread name.
  const std::string kept = name.substr(0, 15);
  pthread_setname_np(pthread_self(), kept.c_str());
}

// The request thread's side of the slot: an outcome is delivered exactly
// once, and a thread that ends without one reports the chooser as vanished.
template <typename T>
class Reply {
 public:
  explicit Reply(std::shared_ptr<detail::PickSlot<T>> slot) : slot_(std::move(slot)) {}
  Reply(const Reply&) = delete;
  Reply& operator=(const Reply&) = delete;
  ~Reply() {
    if (slot_) send(PickVanished{});
  }
  void send(PickOutcome<T> outcome) {
    if (!slot_) return;
    std::lock_guard lock(slot_->mutex);
    slot_->outcome = std::move(outcome);
    slot_ = nullptr;
  }

 private:
  std::shared_ptr<detail::PickSlot<T>> slot_;
};

PickOutcome<std::filesystem::path> chosen_path(const std::filesystem::path& path) {
  return path;
}

PickOutcome<OpenedFile> opened_file(const std::filesystem::path& path) {
  // "e": close on exec, so children started later never inherit it.
  std::FILE* f = std::fopen(path.c_str(), "rbe");
  if (!f) {
    return PickFailed{"could not open " + path.string() + ": " + std::strerror(errno)};
  }
  return OpenedFile(path, OpenedFile::FilePtr(f));
}

}  // namespace

std::shared_ptr<FilePicker> installed_file_picker() {
  std::lock_guard lock(installed_mutex);
  return installed;
}

void install_file_picker(std::shared_ptr<FilePicker> picker) {
  std::lock_guard lock(installed_mutex);
  installed = std::move(picker);
}

PickRequest PickRequest::open(std::string title, std::string accept_label) {
  return PickRequest(PickMode::Open, std::move(title), std::move(accept_label), {});
}

PickRequest PickRequest::save(std::string title, std::string accept_label,
                              std::string suggested_name) {
  return PickRequest(PickMode::Save, std::move(title), std::move(accept_label),
                     std::move(suggested_name));
}

PickRequest& PickRequest::thread_name(std::string name) {
  thread_name_ = std::move(name);
  return *this;
}

PickRequest& PickRequest::filter(FileFilter f) {
  filters_.push_back(std::move(f));
  return *this;
}

PickRequest& PickRequest::picker(std::shared_ptr<FilePicker> p) {
  picker_ = std::move(p);
  return *this;
}

template <typename T, typename Finish>
PickHandle<T> PickRequest::start(Finish finish) const {
  auto slot = std::make_shared<detail::PickSlot<T>>();
  std::shared_ptr<FilePicker> chooser = picker_ ? picker_ : installed_file_picker();
  if (!chooser) {
    slot->outcome = PickFailed{"no file chooser is available on this desktop"};
    return PickHandle<T>(slot);
  }
  try {
    std::thread([slot, chooser, request = *this, finish] {
      name_this_thread(request.thread());
      Reply<T> reply(slot);
      std::optional<PickAnswer> answer;
      try {
        answer = chooser->run(request);
      } catch (const std::exception& e) {
        reply.send(PickFailed{e.what()});
        return;
      }
      if (!answer) return;  // the reply reports the chooser as vanished
      if (auto* chosen = std::get_if<PickChosen>(&*answer)) {
        reply.send(finish(chosen->path));
      } else if (std::holds_alternative<PickCancelled>(*answer)) {
        reply.send(PickCancelled{});
      } else {
        reply.send(std::get<PickFailed>(std::move(*answer)));
      }
    }).detach();
  } catch (const std::system_error& e) {
    std::lock_guard lock(slot->mutex);
    slot->outcome = PickFailed{std::string("could not start the file chooser: ") + e.what()};
  }
  return PickHandle<T>(slot);
}

PickHandle<std::filesystem::path> PickRequest::send() const {
  return start<std::filesystem::path>(&chosen_path);
}

PickHandle<OpenedFile> PickRequest::send_open_file() const {
  return start<OpenedFile>(&opened_file);
}

}  // namespace zarn_ui
