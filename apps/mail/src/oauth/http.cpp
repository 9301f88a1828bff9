#include "oauth/http.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <thread>

#include "tls/tls.h"

namespace mail::http {
namespace {

// The certificates a request trusts: the program's public roots (plus the
// user's extra CA file, see tls.h) and the caller's extra PEM.
std::expected<std::string, std::string> trust_pem(const std::string& extra) {
  auto pem = tls::trusted_pem();
  if (!pem) return std::unexpected(pem.error());
  if (!extra.empty()) {
    *pem += "\n";
    *pem += extra;
  }
  return pem;
}

void global_init() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
  const Options* options = nullptr;
  std::string body;
  bool too_large = false;
  bool stopped = false;
};

size_t on_data(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (t->body.size() + n > t->options->max_body) {
    t->too_large = true;
    return 0;  // aborts the transfer
  }
  t->body.append(data, n);
  return n;
}

bool should_stop(const Options& o) {
  if (o.cancel && o.cancel->load(std::memory_order_relaxed)) return true;
  return std::chrono::steady_clock::now() >= o.deadline;
}

int on_progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (should_stop(*t->options)) {
    t->stopped = true;
    return 1;
  }
  return 0;
}

struct EasyDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct MultiDeleter {
  void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct ListDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using ListPtr = std::unique_ptr<curl_slist, ListDeleter>;

ListPtr make_list(const std::vector<std::string>& items) {
  curl_slist* list = nullptr;
  for (const auto& item : items) {
    curl_slist* next = curl_slist_append(list, item.c_str());
    if (!next) break;
    list = next;
  }
  return ListPtr(list);
}

// What must outlive the transfer: the trust roots curl reads in place and
// the header lists it keeps pointers to.
struct RequestParts {
  std::string roots;
  curl_blob roots_blob{};
  ListPtr headers;
  ListPtr connect_to;
};

// HTTPS only, verified, bounded in time, reporting progress so a cancel flag
// is read; redirects (https only, at most 10) when asked for.
void set_transfer_options(CURL* e, const std::string& url, const Options& options,
                          Transfer& transfer, char* error_buffer) {
  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, error_buffer);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "https");
  curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(options.timeout.count()));
  if (!options.user_agent.empty())
    curl_easy_setopt(e, CURLOPT_USERAGENT, options.user_agent.c_str());
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, on_data);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, on_progress);
  curl_easy_setopt(e, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
  if (options.follow_redirects) {
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "https");
  }
}

// The trust roots, headers, host routing and form body of the request.
std::expected<void, std::string> set_request_parts(CURL* e, const Options& options,
                                                   const std::string* form_body,
                                                   RequestParts& parts) {
  auto roots = trust_pem(options.routing.extra_ca_pem);
  if (!roots) return std::unexpected(roots.error());
  parts.roots = std::move(*roots);
  parts.roots_blob = {parts.roots.data(), parts.roots.size(), CURL_BLOB_NOCOPY};
  curl_easy_setopt(e, CURLOPT_CAINFO_BLOB, &parts.roots_blob);
  // NB: the blob is the whole trust; the system's CA folder is not added.
  curl_easy_setopt(e, CURLOPT_CAPATH, nullptr);

  parts.headers = make_list(options.headers);
  if (parts.headers) curl_easy_setopt(e, CURLOPT_HTTPHEADER, parts.headers.get());
  parts.connect_to = make_list(options.routing.connect_to);
  if (parts.connect_to) curl_easy_setopt(e, CURLOPT_CONNECT_TO, parts.connect_to.get());
  if (form_body) {
    curl_easy_setopt(e, CURLOPT_POST, 1L);
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, form_body->c_str());
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(form_body->size()));
  }
  return {};
}

// Drives the transfer until it is done or the options say stop (the cancel
// flag is read at least every 50 ms); the result of a finished transfer.
std::expected<CURLcode, std::string> run_transfer(CURLM* multi, const Options& options,
                                                  Transfer& transfer) {
  CURLcode result = CURLE_OK;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK)
      return std::unexpected(std::string("HTTP client failure"));
    bool done = false;
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
      if (msg->msg == CURLMSG_DONE) {
        result = msg->data.result;
        done = true;
      }
    }
    if (done) return result;
    if (should_stop(options)) {
      transfer.stopped = true;
      return result;
    }
    // NB: the poll bounds how long a cancel flag can go unread.
    curl_multi_poll(multi, nullptr, 0, 50, nullptr);
  }
}

// The response, or why there is none, in the order that tells the user most.
std::expected<Response, std::string> outcome(const Options& options, Transfer& transfer,
                                             CURLcode result, long status,
                                             const char* error_buffer) {
  if (transfer.stopped) {
    if (options.cancel && options.cancel->load(std::memory_order_relaxed)) {
      return std::unexpected(std::string(cancelled_error));
    }
    return std::unexpected(std::string("timed out"));
  }
  if (transfer.too_large) return std::unexpected(std::string("response body too large"));
  if (result != CURLE_OK) {
    std::string text =
        error_buffer[0] ? std::string(error_buffer) : std::string(curl_easy_strerror(result));
    return std::unexpected(text);
  }
  return Response{status, std::move(transfer.body)};
}

std::expected<Response, std::string> perform(const std::string& url, const std::string* form_body,
                                             const Options& options) {
  global_init();
  if (should_stop(options)) return std::unexpected(std::string(cancelled_error));
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  if (!easy || !multi) return std::unexpected(std::string("could not create the HTTP client"));

  Transfer transfer;
  transfer.options = &options;
  char error_buffer[CURL_ERROR_SIZE] = {};
  CURL* e = easy.get();
  set_transfer_options(e, url, options, transfer, error_buffer);
  RequestParts parts;
  if (auto set = set_request_parts(e, options, form_body, parts); !set)
    return std::unexpected(set.error());

  if (curl_multi_add_handle(multi.get(), e) != CURLM_OK) {
    return std::unexpected(std::string("could not start the HTTP request"));
  }
  auto result = run_transfer(multi.get(), options, transfer);
  long status = 0;
  curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
  curl_multi_remove_handle(multi.get(), e);
  if (!result) return std::unexpected(result.error());
  return outcome(options, transfer, *result, status, error_buffer);
}

}  // namespace

std::expected<Response, std::string> get(const std::string& url, const Options& options) {
  return perform(url, nullptr, options);
}

std::expected<Response, std::string> post_form(const std::string& url, const std::string& body,
                                               const Options& options) {
  return perform(url, &body, options);
}

}  // namespace mail::http
