#pragma once
// Framing of server bytes into responses (RFC 3501 section 2.2 and 4.3): a
// response is a line ending in CRLF; a line that ends in "{n}" is followed by
// exactly n bytes of literal data, after which the same response continues.
// The reader only finds the boundaries; response.h gives them meaning.
//
// Buffering is bounded: a line segment, a single literal and a whole response
// each have a limit; crossing one is an error and the stream is unusable.
// One kind of line may be allowed to grow further while it is expected (the
// answer to a search lists every match on one line).

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace mail::imap {

struct FrameLimits {
  std::size_t max_line = 64 * 1024;             // bytes of text between literals
  std::size_t max_literal = 64 * 1024 * 1024;   // bytes of one literal
  std::size_t max_response = 96 * 1024 * 1024;  // bytes of one whole response
};

class FrameReader {
 public:
  explicit FrameReader(FrameLimits limits = {}) : limits_(limits) {}

  // Adds received bytes.
  void feed(std::string_view bytes);

  // The next complete response without its final CRLF, nothing when more
  // bytes are needed, or an error when the limits are crossed or a literal
  // announcement is malformed. After an error every call returns it again.
  // A large response is handed over without being copied.
  [[nodiscard]] std::expected<std::optional<std::string>, std::string> next();

  // Until cleared, a response without literals whose text begins with
  // `prefix` (ASCII letters in any case) may be a line of up to `max_line`
  // bytes, whatever the ordinary limits say. Every other line keeps them.
  void allow_long_line(std::string_view prefix, std::size_t max_line);
  void clear_long_line() { long_prefix_.clear(); }

  // Bytes received and not yet returned.
  [[nodiscard]] std::size_t buffered() const { return buf_.size() - start_; }

 private:
  // The line limit for the segment that starts at segment_.
  [[nodiscard]] std::size_t line_limit() const;
  // Hands over buf_[start_, end) and moves on past the CRLF at `end`.
  std::string take(std::size_t end);

  FrameLimits limits_;
  std::string buf_;
  std::size_t start_ = 0;         // first byte of the current response
  std::size_t segment_ = 0;       // first byte of the current line segment
  std::size_t scan_ = 0;          // where the search for CRLF resumes
  std::size_t literal_left_ = 0;  // literal bytes still to come
  std::string long_prefix_;       // empty: no line may exceed the limits
  std::size_t long_max_ = 0;
  std::optional<std::string> error_;
};

}  // namespace mail::imap
