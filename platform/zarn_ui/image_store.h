#pragma once
// Pictures by URL for drawing code: get() answers at once with the decoded
// picture or "not yet", and loading is the store's own business. The first
// get() of a URL queues it; a worker thread fetches it over HTTPS, decodes it
// and wakes the window, and a later frame's get() finds it.
//
//   UI thread:  get(url) ──queue──► worker: libcurl transfers (a few at once)
//               ◄──results── decode ◄──┘      then wake-up callback
//
// Decoded pictures are kept up to a memory budget, least recently asked for
// dropped first. A failed URL (HTTP error, refused or broken picture, network
// or TLS error) is remembered as failed and not tried again before
// `retry_failed_after`, so drawing code may ask for it every frame.
//
// get(), status() and the destructor belong to one thread (the UI thread);
// the wake-up callback runs on the worker thread.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "zarn_ui/image.h"

namespace zarn_ui {

struct ImageStoreOptions {
  // The certificate authorities trusted for HTTPS, as PEM text. Unset: the
  // system's trust store. Applications that carry their own roots pass them.
  std::optional<std::string> trusted_pem;
  // Decoded pixel bytes kept in memory.
  std::size_t memory_budget = 64u << 20;
  // A larger response is refused (and remembered as failed).
  std::size_t max_download = 8u << 20;
  // Limit for one transfer, connection included.
  std::chrono::milliseconds timeout{20'000};
  // Transfers in flight at once.
  int parallel = 4;
  std::chrono::milliseconds retry_failed_after = std::chrono::minutes(30);
  // Failed URLs remembered at most; the oldest are forgotten first.
  std::size_t max_remembered_failures = 4096;
};

enum class ImageStatus {
  Unknown,  // never asked for, or dropped from memory
  Loading,  // queued or being fetched and decoded
  Ready,    // decoded and in memory
  Failed,   // no picture; not retried before the retry delay
};

class ImageStore : public ImageSource {
 public:
  // `decoder` runs on the worker thread. `wake` is called (on the worker
  // thread) each time a result is ready for the next frame to pick up; it
  // must be safe to call from any thread.
  ImageStore(ImageDecoder decoder, std::function<void()> wake, ImageStoreOptions options = {});
  ~ImageStore() override;  // stops the worker; transfers in flight are abandoned
  ImageStore(const ImageStore&) = delete;
  ImageStore& operator=(const ImageStore&) = delete;

  // The decoded picture, or nothing yet (loading, failed, or not an https URL).
  // Never blocks.
  std::optional<Image> get(std::string_view url) override;
  // Where a URL stands, after taking in finished work; queues nothing.
  ImageStatus status(std::string_view url);
  // Why a failed URL failed (for logs and tests); empty otherwise.
  std::string failure(std::string_view url);
  // Pixel bytes held in memory now.
  std::size_t memory_used() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace zarn_ui
