#include "smtp/reply.h"

namespace mail::smtp {

std::string Reply::to_string() const {
  std::string out = std::to_string(code);
  for (const auto& line : lines) {
    if (line.empty()) continue;
    out += ' ';
    out += line;
  }
  return out;
}

std::optional<std::expected<Reply, std::string>> ReplyParser::next() {
  if (failed_) return std::unexpected(*failed_);
  auto fail = [&](std::string text) -> std::optional<std::expected<Reply, std::string>> {
    failed_ = text;
    return std::unexpected(std::move(text));
  };

  Reply reply;
  std::size_t at = pos_;
  for (;;) {
    const std::size_t nl = buffer_.find('\n', at);
    if (nl == std::string::npos) {
      if (buffer_.size() - at > max_line) return fail("SMTP reply line too long");
      return std::nullopt;  // need more bytes
    }
    std::string_view line(buffer_.data() + at, nl - at);
    // NB: a bare LF is accepted as a line end; servers that send one exist.
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > max_line) return fail("SMTP reply line too long");
    if (line.size() < 3 || line[0] < '2' || line[0] > '5' || line[1] < '0' || line[1] > '9' ||
        line[2] < '0' || line[2] > '9') {
      return fail("malformed SMTP reply: " + std::string(line.substr(0, 80)));
    }
    const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    bool last;
    if (line.size() == 3) {
      last = true;
    } else if (line[3] == ' ') {
      last = true;
    } else if (line[3] == '-') {
      last = false;
    } else {
      return fail("malformed SMTP reply: " + std::string(line.substr(0, 80)));
    }
    if (reply.lines.empty()) {
      reply.code = code;
    } else if (code != reply.code) {
      return fail("inconsistent codes in multi-line SMTP reply");
    }
    for (char c : line.substr(std::min<std::size_t>(line.size(), 4))) {
      if (c == '\0' || c == '\r') return fail("malformed SMTP reply: control character in text");
    }
    reply.lines.emplace_back(line.size() > 4 ? line.substr(4) : std::string_view{});
    if (reply.lines.size() > max_lines) return fail("SMTP reply has too many lines");
    at = nl + 1;
    if (last) break;
  }
  pos_ = at;
  // Drop consumed bytes now and then so the buffer does not grow forever.
  if (pos_ > 65536 && pos_ * 2 > buffer_.size()) {
    buffer_.erase(0, pos_);
    pos_ = 0;
  }
  return reply;
}

std::expected<std::vector<Reply>, std::string> parse_replies(std::string_view bytes) {
  ReplyParser parser;
  parser.feed(bytes);
  std::vector<Reply> out;
  for (;;) {
    auto r = parser.next();
    if (!r) break;
    if (!*r) return std::unexpected(r->error());
    out.push_back(std::move(**r));
  }
  if (parser.buffered() != 0) return std::unexpected(std::string("incomplete SMTP reply"));
  return out;
}

}  // namespace mail::smtp
