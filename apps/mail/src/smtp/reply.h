#pragma once
// SMTP replies (RFC 5321 §4.2): one or more lines "NNN-text" ending with a
// line "NNN text" (or a bare "NNN"). Enhanced status codes (RFC 3463) are
// left at the start of the text, where the server put them.
//
// ReplyParser takes the bytes the server sent, in whatever pieces they
// arrived, and hands out whole replies. It never trusts the server: lines and
// replies are bounded, and anything that is not a reply is an error.

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mail::smtp {

struct Reply {
  int code = 0;
  std::vector<std::string> lines;  // text after "NNN-" / "NNN ", without CRLF

  [[nodiscard]] bool positive() const { return code >= 200 && code < 300; }
  [[nodiscard]] bool intermediate() const { return code >= 300 && code < 400; }
  // "535 5.7.8 text" — the code and every line, joined by single spaces.
  [[nodiscard]] std::string to_string() const;
};

class ReplyParser {
 public:
  static constexpr std::size_t max_line = 4096;
  static constexpr std::size_t max_lines = 512;

  void feed(std::string_view bytes) { buffer_.append(bytes); }

  // The next whole reply, nothing when more bytes are needed, or an error
  // when the bytes cannot be a reply. After an error the parser stays failed.
  [[nodiscard]] std::optional<std::expected<Reply, std::string>> next();

  // Bytes received but not yet consumed as part of a reply.
  [[nodiscard]] std::size_t buffered() const { return buffer_.size() - pos_; }

 private:
  std::string buffer_;
  std::size_t pos_ = 0;
  std::optional<std::string> failed_;
};

// One-shot helper for tests and fuzzing: parses every reply in `bytes`;
// trailing bytes that do not complete a reply are an error.
[[nodiscard]] std::expected<std::vector<Reply>, std::string> parse_replies(std::string_view bytes);

}  // namespace mail::smtp
