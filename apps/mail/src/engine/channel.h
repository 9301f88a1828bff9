#pragma once
// Unbounded first-in first-out channels between threads. A channel closes
// for the receiver when every sender is gone (after the waiting values are
// taken), and for senders when the receiver is gone.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace mail {

namespace detail {
template <typename T>
struct ChannelState {
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<T> queue;
  std::size_t senders = 0;
  bool receiver_alive = true;
};
}  // namespace detail

template <typename T>
class Receiver;

template <typename T>
class Sender {
 public:
  Sender() = default;
  explicit Sender(std::shared_ptr<detail::ChannelState<T>> s) : s_(std::move(s)) { attach(); }
  Sender(const Sender& o) : s_(o.s_) { attach(); }
  Sender(Sender&& o) noexcept : s_(std::move(o.s_)) {}
  Sender& operator=(Sender o) noexcept {
    std::swap(s_, o.s_);
    return *this;
  }
  ~Sender() { detach(); }

  // False (and the value dropped) when the receiver is gone or this sender is empty.
  bool send(T value) const {
    if (!s_) return false;
    {
      std::lock_guard lock(s_->mutex);
      if (!s_->receiver_alive) return false;
      s_->queue.push_back(std::move(value));
    }
    s_->ready.notify_one();
    return true;
  }

  [[nodiscard]] bool is_closed() const {
    if (!s_) return true;
    std::lock_guard lock(s_->mutex);
    return !s_->receiver_alive;
  }

 private:
  void attach() {
    if (!s_) return;
    std::lock_guard lock(s_->mutex);
    ++s_->senders;
  }
  void detach() {
    if (!s_) return;
    {
      std::lock_guard lock(s_->mutex);
      --s_->senders;
    }
    s_->ready.notify_all();
    s_.reset();
  }
  std::shared_ptr<detail::ChannelState<T>> s_;
};

template <typename T>
class Receiver {
 public:
  Receiver() = default;
  explicit Receiver(std::shared_ptr<detail::ChannelState<T>> s) : s_(std::move(s)) {}
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;
  Receiver(Receiver&& o) noexcept : s_(std::move(o.s_)) {}
  Receiver& operator=(Receiver&& o) noexcept {
    if (this != &o) {
      close();
      s_ = std::move(o.s_);
    }
    return *this;
  }
  ~Receiver() { close(); }

  // Blocks for the next value; nothing once every sender is gone and the queue is empty.
  std::optional<T> recv() {
    if (!s_) return std::nullopt;
    std::unique_lock lock(s_->mutex);
    s_->ready.wait(lock, [&] { return !s_->queue.empty() || s_->senders == 0; });
    if (s_->queue.empty()) return std::nullopt;
    T v = std::move(s_->queue.front());
    s_->queue.pop_front();
    return v;
  }

  // The next value if one is waiting; never blocks.
  std::optional<T> try_recv() {
    if (!s_) return std::nullopt;
    std::lock_guard lock(s_->mutex);
    if (s_->queue.empty()) return std::nullopt;
    T v = std::move(s_->queue.front());
    s_->queue.pop_front();
    return v;
  }

  // True when no sender is left (values may still be waiting).
  [[nodiscard]] bool senders_gone() const {
    if (!s_) return true;
    std::lock_guard lock(s_->mutex);
    return s_->senders == 0;
  }

 private:
  void close() {
    if (!s_) return;
    std::lock_guard lock(s_->mutex);
    s_->receiver_alive = false;
    s_->queue.clear();
  }
  std::shared_ptr<detail::ChannelState<T>> s_;
};

template <typename T>
std::pair<Sender<T>, Receiver<T>> make_channel() {
  auto state = std::make_shared<detail::ChannelState<T>>();
  return {Sender<T>(state), Receiver<T>(state)};
}

}  // namespace mail
