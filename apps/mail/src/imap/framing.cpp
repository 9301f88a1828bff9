#include "imap/framing.h"

#include <algorithm>

namespace mail::imap {
namespace {

bool starts_with_ascii_nocase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = text[i], b = prefix[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
    if (a != b) return false;
  }
  return true;
}

}  // namespace

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

void FrameReader::allow_long_line(std::string_view prefix, std::size_t max_line) {
  long_prefix_ = std::string(prefix);
  long_max_ = max_line;
}

std::size_t FrameReader::line_limit() const {
  // NB: only the first line of a response qualifies, and only by its
  // beginning: a long line is allowed by what it is, not by when it comes.
  if (long_prefix_.empty() || segment_ != start_ || long_max_ <= limits_.max_line)
    return limits_.max_line;
  const std::string_view line(buf_.data() + start_, buf_.size() - start_);
  return starts_with_ascii_nocase(line, long_prefix_) ? long_max_ : limits_.max_line;
}

std::string FrameReader::take(std::size_t end) {
  const std::size_t after = end + 2;
  std::string frame;
  if (end - start_ >= buf_.size() / 2) {
    // A response that fills most of the buffer is handed over as the buffer
    // itself; only the bytes after it are copied.
    std::string rest = buf_.substr(after);
    buf_.resize(end);
    buf_.erase(0, start_);
    frame = std::move(buf_);
    buf_ = std::move(rest);
    start_ = scan_ = segment_ = 0;
    return frame;
  }
  frame = buf_.substr(start_, end - start_);
  start_ = scan_ = segment_ = after;
  if (start_ == buf_.size()) {
    buf_.clear();
    start_ = scan_ = segment_ = 0;
  }
  return frame;
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
      if (buf_.size() - segment_ > line_limit()) return fail("server response line too long");
      // Keep a trailing CR in view: its LF may come with the next bytes.
      scan_ = buf_.size() > segment_ ? buf_.size() - 1 : segment_;
      if (scan_ < segment_) scan_ = segment_;
      return std::nullopt;
    }
    const std::size_t max_line = line_limit();
    if (crlf - segment_ > max_line) return fail("server response line too long");
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
    // A response of one line is bounded by its line limit alone.
    const std::size_t max_response =
        segment_ == start_ ? std::max(limits_.max_response, max_line) : limits_.max_response;
    if (crlf - start_ > max_response) return fail("server response too large");
    return take(crlf);
  }
}

}  // namespace mail::imap
