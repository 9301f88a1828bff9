#include "zarn_ui/image_store.h"

#include <curl/curl.h>

#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "zarn_ui/geometry.h"

namespace zarn_ui {
namespace {

void curl_once() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool is_https(std::string_view url) {
  constexpr std::string_view scheme = "https://";
  if (url.size() <= scheme.size()) return false;
  for (std::size_t i = 0; i < scheme.size(); ++i) {
    char c = url[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != scheme[i]) return false;
  }
  return true;
}

struct Outcome {
  std::string url;
  std::expected<Image, std::string> picture;
};

// One transfer in flight on the worker thread.
struct Transfer {
  std::string url;
  std::string body;
  std::size_t limit = 0;
  bool too_large = false;
  char error[CURL_ERROR_SIZE] = {};
  CURL* easy = nullptr;
  ~Transfer() {
    if (easy) curl_easy_cleanup(easy);
  }
};

size_t on_data(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (t->body.size() + n > t->limit) {
    t->too_large = true;
    return 0;  // aborts the transfer
  }
  t->body.append(data, n);
  return n;
}

}  // namespace

struct ImageStore::State {
  ImageDecoder decoder;
  std::function<void()> wake;
  ImageStoreOptions options;

  // Shared with the worker, under `mutex`.
  std::mutex mutex;
  std::deque<std::string> queued;
  std::deque<Outcome> finished;
  bool stopping = false;
  CURLM* multi = nullptr;  // curl_multi_wakeup may be called from any thread
  std::thread worker;

  // The UI thread's own.
  struct Entry {
    ImageStatus status = ImageStatus::Unknown;
    Image image;
    std::string error;
    Instant retry_at{};
    std::list<std::string>::iterator recent;  // valid while Ready
  };
  std::unordered_map<std::string, Entry> entries;
  std::list<std::string> recent;  // Ready URLs, most recently asked for first
  std::deque<std::pair<std::string, Instant>> failures;  // oldest first
  std::size_t used = 0;

  void run();
  std::unique_ptr<Transfer> start(const std::string& url);
  Outcome finish(Transfer& t, CURLcode code);

  void request(const std::string& url, Entry& entry);
  void take_finished();
  void fail(const std::string& url, Entry& entry, std::string why);
  void forget_ready(Entry& entry);
};

ImageStore::ImageStore(ImageDecoder decoder, std::function<void()> wake, ImageStoreOptions options)
    : state_(std::make_unique<State>()) {
  curl_once();
  state_->decoder = std::move(decoder);
  state_->wake = std::move(wake);
  state_->options = std::move(options);
  state_->options.parallel = std::max(1, state_->options.parallel);
  state_->options.max_remembered_failures =
      std::max<std::size_t>(1, state_->options.max_remembered_failures);
  state_->multi = curl_multi_init();
  if (state_->multi) state_->worker = std::thread([s = state_.get()] { s->run(); });
}

ImageStore::~ImageStore() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
  }
  if (state_->multi) curl_multi_wakeup(state_->multi);
  if (state_->worker.joinable()) state_->worker.join();
  if (state_->multi) curl_multi_cleanup(state_->multi);
}

std::unique_ptr<Transfer> ImageStore::State::start(const std::string& url) {
  auto t = std::make_unique<Transfer>();
  t->url = url;
  t->limit = options.max_download;
  t->easy = curl_easy_init();
  if (!t->easy) return t;
  CURL* e = t->easy;
  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "https");
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "https");
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, 3L);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(options.timeout.count()));
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(std::min<std::int64_t>(options.timeout.count(), 10'000)));
  curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.max_download));
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &on_data);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t->error);
  curl_easy_setopt(e, CURLOPT_PRIVATE, t.get());
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
  if (options.trusted_pem) {
    curl_blob blob{const_cast<char*>(options.trusted_pem->data()), options.trusted_pem->size(),
                   CURL_BLOB_COPY};
    curl_easy_setopt(e, CURLOPT_CAINFO_BLOB, &blob);
  }
  return t;
}

Outcome ImageStore::State::finish(Transfer& t, CURLcode code) {
  if (t.too_large || code == CURLE_FILESIZE_EXCEEDED) {
    return {t.url, std::unexpected("the picture is larger than " +
                                   std::to_string(options.max_download) + " bytes")};
  }
  if (code != CURLE_OK) {
    std::string why = t.error[0] ? t.error : curl_easy_strerror(code);
    return {t.url, std::unexpected(std::move(why))};
  }
  long status = 0;
  curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200 || status > 299) {
    return {t.url, std::unexpected("the server answered HTTP " + std::to_string(status))};
  }
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(t.body.data()),
                                            t.body.size());
  try {
    return {t.url, decoder ? decoder(bytes) : std::unexpected(std::string("no picture decoder"))};
  } catch (const std::exception& e) {
    return {t.url, std::unexpected(std::string("could not decode the picture: ") + e.what())};
  }
}

void ImageStore::State::run() {
  std::map<CURL*, std::unique_ptr<Transfer>> active;
  for (;;) {
    std::deque<std::string> fresh;
    {
      std::lock_guard lock(mutex);
      if (stopping) break;
      while (!queued.empty() &&
             active.size() + fresh.size() < static_cast<std::size_t>(options.parallel)) {
        fresh.push_back(std::move(queued.front()));
        queued.pop_front();
      }
    }
    std::vector<Outcome> done;
    for (std::string& url : fresh) {
      std::unique_ptr<Transfer> t = start(url);
      if (!t->easy || curl_multi_add_handle(multi, t->easy) != CURLM_OK) {
        done.push_back({url, std::unexpected(std::string("could not start the transfer"))});
        continue;
      }
      active.emplace(t->easy, std::move(t));
    }
    int running = 0;
    curl_multi_perform(multi, &running);
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
      if (msg->msg != CURLMSG_DONE) continue;
      auto it = active.find(msg->easy_handle);
      if (it == active.end()) continue;
      const CURLcode code = msg->data.result;
      curl_multi_remove_handle(multi, it->first);
      done.push_back(finish(*it->second, code));
      active.erase(it);
    }
    if (!done.empty()) {
      {
        std::lock_guard lock(mutex);
        for (Outcome& o : done) finished.push_back(std::move(o));
      }
      if (wake) wake();
      continue;  // more may be queued now that slots are free
    }
    curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
  }
  for (auto& [easy, t] : active) curl_multi_remove_handle(multi, easy);
}

void ImageStore::State::request(const std::string& url, Entry& entry) {
  entry.status = ImageStatus::Loading;
  entry.error.clear();
  if (!multi) {
    fail(url, entry, "the picture loader could not start");
    return;
  }
  {
    std::lock_guard lock(mutex);
    queued.push_back(url);
  }
  curl_multi_wakeup(multi);
}

void ImageStore::State::forget_ready(Entry& entry) {
  if (entry.status != ImageStatus::Ready) return;
  used -= entry.image.byte_size();
  recent.erase(entry.recent);
  entry.image = {};
}

void ImageStore::State::fail(const std::string& url, Entry& entry, std::string why) {
  forget_ready(entry);
  entry.status = ImageStatus::Failed;
  entry.error = std::move(why);
  entry.retry_at = Clock::now() + options.retry_failed_after;
  failures.emplace_back(url, entry.retry_at);
  while (failures.size() > options.max_remembered_failures) {
    auto [old_url, old_retry] = std::move(failures.front());
    failures.pop_front();
    auto it = entries.find(old_url);
    // Only the failure recorded then; a later one has its own place.
    if (it != entries.end() && it->second.status == ImageStatus::Failed &&
        it->second.retry_at == old_retry) {
      entries.erase(it);
    }
  }
}

void ImageStore::State::take_finished() {
  std::deque<Outcome> done;
  {
    std::lock_guard lock(mutex);
    done.swap(finished);
  }
  for (Outcome& o : done) {
    Entry& entry = entries[o.url];
    if (!o.picture) {
      fail(o.url, entry, std::move(o.picture.error()));
      continue;
    }
    if (o.picture->empty() || o.picture->byte_size() > options.memory_budget) {
      fail(o.url, entry,
           o.picture->empty() ? "the picture is empty"
                              : "the picture is larger than the memory budget");
      continue;
    }
    forget_ready(entry);
    entry.status = ImageStatus::Ready;
    entry.image = std::move(*o.picture);
    entry.error.clear();
    recent.push_front(o.url);
    entry.recent = recent.begin();
    used += entry.image.byte_size();
    while (used > options.memory_budget && recent.size() > 1) {
      auto old = entries.find(recent.back());
      forget_ready(old->second);
      entries.erase(old);
    }
  }
}

std::optional<Image> ImageStore::get(std::string_view url) {
  State& s = *state_;
  s.take_finished();
  const std::string key(url);
  State::Entry& entry = s.entries.try_emplace(key).first->second;
  switch (entry.status) {
    case ImageStatus::Unknown:
      if (!is_https(url)) {
        s.fail(key, entry, "only https pictures are loaded");
      } else {
        s.request(key, entry);
      }
      return std::nullopt;
    case ImageStatus::Loading:
      return std::nullopt;
    case ImageStatus::Ready:
      s.recent.splice(s.recent.begin(), s.recent, entry.recent);
      return entry.image;
    case ImageStatus::Failed:
      if (Clock::now() >= entry.retry_at && is_https(url)) s.request(key, entry);
      return std::nullopt;
  }
  return std::nullopt;
}

ImageStatus ImageStore::status(std::string_view url) {
  state_->take_finished();
  auto it = state_->entries.find(std::string(url));
  return it == state_->entries.end() ? ImageStatus::Unknown : it->second.status;
}

std::string ImageStore::failure(std::string_view url) {
  state_->take_finished();
  auto it = state_->entries.find(std::string(url));
  if (it == state_->entries.end() || it->second.status != ImageStatus::Failed) return {};
  return it->second.error;
}

std::size_t ImageStore::memory_used() const {
  return state_->used;
}

}  // namespace zarn_ui
