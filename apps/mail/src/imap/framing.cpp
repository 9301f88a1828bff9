#include "imap/framing.h"

namespace mail::imap {

void FrameReader::feed(std::string_view bytes) {
  if (error_) return;
  // Drop what was returned once it is at least half the buffer, so a large
  // literal arriving in small pieces is not copied over and over.
  if (start_ > 0 && start_ >= buf_.size() / 2) {
    buf_.erase(0, start_);
    segment_ -= start_;
    scan_ -= start_;
    start_ = 0;
  }
  buf_.append(bytes);
}

std::expected<std::optional<std::string>, std::string> FrameReader::next() {
  auto fail = [this](std::string text) -> std::expected<std::optional<std::string>, std::string> {
    error_ = std::move(text);
    return std::unexpected(*error_);
  };
  if (error_) return std::unexpected(*error_);
  for (;;) {
    if (literal_left_ > 0) {
      const std::size_t available = buf_.size() - scan_;
      const std::size_t take = available < literal_left_ ? available : literal_left_;
      scan_ += take;
      literal_left_ -= take;
      if (literal_left_ > 0) return std::nullopt;
      segment_ = scan_;
    }
    const std::size_t crlf = buf_.find("\r\n", scan_);
    if (crlf == std::string::npos) {
      if (buf_.size() - segment_ > limits_.max_line) return fail("server response line too long");
      // Keep a trailing CR in view: its LF may come with the next bytes.
      scan_ = buf_.size() > segment_ ? buf_.size() - 1 : segment_;
      if (scan_ < segment_) scan_ = segment_;
      return std::nullopt;
    }
    if (crlf - segment_ > limits_.max_line) return fail("server response line too long");
    // Does this segment announce a literal: "{digits}" (or "{digits+}") at its end?
    std::string_view seg(buf_.data() + segment_, crlf - segment_);
    if (!seg.empty() && seg.back() == '}') {
      const std::size_t open = seg.rfind('{');
      if (open != std::string_view::npos) {
        std::string_view digits = seg.substr(open + 1, seg.size() - open - 2);
        if (!digits.empty() && digits.back() == '+') digits.remove_suffix(1);
        bool numeric = !digits.empty() && digits.size() <= 12;
        std::size_t n = 0;
        for (char c : digits) {
          if (c < '0' || c > '9') {
            numeric = false;
            break;
          }
          n = n * 10 + static_cast<std::size_t>(c - '0');
        }
        if (numeric) {
          if (n > limits_.max_literal) return fail("server literal too large");
          if ((crlf + 2 - start_) + n > limits_.max_response)
            return fail("server response too large");
          literal_left_ = n;
          scan_ = crlf + 2;
          segment_ = scan_;
          continue;
        }
      }
    }
    if (crlf - start_ > limits_.max_response) return fail("server response too large");
    std::string frame = buf_.substr(start_, crlf - start_);
    start_ = scan_ = segment_ = crlf + 2;
    if (start_ == buf_.size()) {
      buf_.clear();
      start_ = scan_ = segment_ = 0;
    }
    return frame;
  }
}

}  // namespace mail::imap
