#include "imap/response.h"

#include <array>
#include <charconv>

namespace mail::imap {
namespace {

constexpr int max_depth = 32;

using Err = std::unexpected<std::string>;

Err malformed(std::string_view what) {
  return Err("malformed server response: " + std::string(what));
}

bool is_atom_char(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u <= 0x20 || u >= 0x7f) return false;
  switch (c) {
    case '(':
    case ')':
    case '{':
    case '"':
    case '%':
    case '*':
    case '\\':
    case ']':
      return false;
    default:
      return true;
  }
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

// A cursor over one response frame.
class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  bool at_end() const { return p_ >= s_.size(); }
  char peek() const { return at_end() ? '\0' : s_[p_]; }
  std::string_view rest() const { return at_end() ? std::string_view{} : s_.substr(p_); }
  void skip_rest() { p_ = s_.size(); }

  bool eat(char c) {
    if (peek() == c && !at_end()) {
      ++p_;
      return true;
    }
    return false;
  }

  std::expected<void, std::string> sp() {
    if (!eat(' ')) return malformed("expected a space");
    return {};
  }

  // A FETCH item name: atom characters up to a '[' that opens a section.
  std::expected<std::string_view, std::string> item_name() {
    const std::size_t start = p_;
    while (!at_end() && is_atom_char(s_[p_]) && s_[p_] != '[') ++p_;
    if (p_ == start) return malformed("expected a FETCH item");
    return s_.substr(start, p_ - start);
  }

  // atom (RFC 3501 "atom"); with `flag`, a leading backslash and "\*" too.
  std::expected<std::string_view, std::string> atom(bool flag = false, bool allow_bracket = false) {
    const std::size_t start = p_;
    if (flag && peek() == '\\') {
      ++p_;
      if (peek() == '*') {
        ++p_;
        return s_.substr(start, p_ - start);
      }
    }
    while (!at_end() && (is_atom_char(s_[p_]) || (allow_bracket && s_[p_] == ']'))) ++p_;
    if (p_ == start || (flag && p_ == start + 1 && s_[start] == '\\'))
      return malformed("expected an atom");
    return s_.substr(start, p_ - start);
  }

  std::expected<std::uint64_t, std::string> number(std::uint64_t max = 0xffffffffULL) {
    const std::size_t start = p_;
    std::uint64_t v = 0;
    while (!at_end() && s_[p_] >= '0' && s_[p_] <= '9') {
      v = v * 10 + static_cast<std::uint64_t>(s_[p_] - '0');
      if (v > max) return malformed("number out of range");
      ++p_;
    }
    if (p_ == start) return malformed("expected a number");
    return v;
  }

  // RFC 3501 section 4.3: quoted string or literal.
  std::expected<std::string, std::string> string() {
    if (eat('"')) {
      std::string out;
      while (!at_end()) {
        char c = s_[p_++];
        if (c == '"') return out;
        if (c == '\\') {
          if (at_end()) break;
          c = s_[p_++];
          if (c != '"' && c != '\\') return malformed("bad escape in quoted string");
        } else if (c == '\r' || c == '\n') {
          return malformed("line break in quoted string");
        }
        out.push_back(c);
      }
      return malformed("unterminated quoted string");
    }
    if (eat('{')) {
      auto n = number(s_.size());
      if (!n) return std::unexpected(n.error());
      eat('+');
      if (!eat('}') || !eat('\r') || !eat('\n')) return malformed("bad literal announcement");
      if (s_.size() - p_ < *n) return malformed("literal shorter than announced");
      std::string out(s_.substr(p_, *n));
      p_ += *n;
      return out;
    }
    return malformed("expected a string");
  }

  bool nil() {
    if (s_.size() - p_ >= 3 && iequals(s_.substr(p_, 3), "NIL") &&
        (p_ + 3 == s_.size() || !is_atom_char(s_[p_ + 3]))) {
      p_ += 3;
      return true;
    }
    return false;
  }

  std::expected<std::optional<std::string>, std::string> nstring() {
    if (nil()) return std::nullopt;
    auto s = string();
    if (!s) return std::unexpected(s.error());
    return std::optional<std::string>(std::move(*s));
  }

  // astring: atom characters (']' allowed) or a string.
  std::expected<std::string, std::string> astring() {
    if (peek() == '"' || peek() == '{') return string();
    auto a = atom(false, true);
    if (!a) return std::unexpected(a.error());
    return std::string(*a);
  }

  // Skips one value of any shape: atom, number, NIL, string, or a
  // parenthesised list of values, to a bounded depth.
  std::expected<void, std::string> skip_value(int depth = 0) {
    if (depth > max_depth) return malformed("nesting too deep");
    if (peek() == '"' || peek() == '{') {
      auto s = string();
      if (!s) return std::unexpected(s.error());
      return {};
    }
    if (eat('(')) {
      bool first = true;
      while (!eat(')')) {
        if (at_end()) return malformed("unterminated list");
        if (!first) {
          if (auto r = sp(); !r) return r;
        }
        first = false;
        if (peek() == ')') continue;
        if (auto r = skip_value(depth + 1); !r) return r;
      }
      return {};
    }
    // Atoms here may carry a section ("BODY[HEADER.FIELDS (A B)]<0>").
    const std::size_t start = p_;
    if (peek() == '\\') ++p_;
    while (!at_end() && (is_atom_char(s_[p_]) || s_[p_] == '*' || s_[p_] == '%') && s_[p_] != '[')
      ++p_;
    if (eat('[')) {
      if (auto r = section(); !r) return std::unexpected(r.error());
    }
    if (p_ == start) return malformed("unexpected character");
    return {};
  }

  // The text between '[' (already read) and ']' of a body section; header
  // field lists inside are parenthesised, never bracketed.
  std::expected<std::string, std::string> section() {
    const std::size_t start = p_;
    while (!at_end() && s_[p_] != ']') {
      const char c = s_[p_];
      if (c == '\r' || c == '\n' || c == '[' || c == '{') return malformed("bad body section");
      ++p_;
    }
    if (!eat(']')) return malformed("unterminated body section");
    return std::string(s_.substr(start, p_ - 1 - start));
  }

  std::expected<std::vector<std::string>, std::string> flag_list() {
    if (!eat('(')) return malformed("expected a flag list");
    std::vector<std::string> out;
    while (!eat(')')) {
      if (at_end()) return malformed("unterminated flag list");
      if (!out.empty()) {
        if (auto r = sp(); !r) return std::unexpected(r.error());
      }
      auto f = atom(true);
      if (!f) return std::unexpected(f.error());
      out.emplace_back(*f);
    }
    return out;
  }

 private:
  std::string_view s_;
  std::size_t p_ = 0;
};

std::optional<Status> status_word(std::string_view w) {
  if (iequals(w, "OK")) return Status::Ok;
  if (iequals(w, "NO")) return Status::No;
  if (iequals(w, "BAD")) return Status::Bad;
  if (iequals(w, "PREAUTH")) return Status::PreAuth;
  if (iequals(w, "BYE")) return Status::Bye;
  return std::nullopt;
}

// Text after a status word: optional SP then the rest (some servers send none).
std::string status_text(Reader& r) {
  r.eat(' ');
  std::string out(r.rest());
  r.skip_rest();
  return out;
}

// RFC 3501 section 7.4.2 (msg-att), RFC 9051 section 7.5.2.
std::expected<Response, std::string> parse_fetch(Reader& r, std::uint32_t seq) {
  Fetch f;
  f.seq = seq;
  if (auto s = r.sp(); !s) return std::unexpected(s.error());
  if (!r.eat('(')) return malformed("expected FETCH data list");
  bool first = true;
  while (!r.eat(')')) {
    if (r.at_end()) return malformed("unterminated FETCH data");
    if (!first) {
      if (auto s = r.sp(); !s) return std::unexpected(s.error());
    }
    first = false;
    auto name = r.item_name();
    if (!name) return std::unexpected(name.error());
    if (iequals(*name, "BODY") && r.peek() == '[') {
      r.eat('[');
      BodySection body;
      auto sec = r.section();
      if (!sec) return std::unexpected(sec.error());
      body.section = std::move(*sec);
      if (r.eat('<')) {
        auto o = r.number();
        if (!o) return std::unexpected(o.error());
        if (!r.eat('>')) return malformed("bad section origin");
        body.origin = static_cast<std::uint32_t>(*o);
      }
      if (auto s = r.sp(); !s) return std::unexpected(s.error());
      auto data = r.nstring();
      if (!data) return std::unexpected(data.error());
      body.data = std::move(*data);
      f.bodies.push_back(std::move(body));
      continue;
    }
    if (r.peek() == '[') {  // BINARY[…], BODY.PEEK never comes back, others skipped
      r.eat('[');
      if (auto sec = r.section(); !sec) return std::unexpected(sec.error());
      if (r.eat('<')) {
        if (auto o = r.number(); !o) return std::unexpected(o.error());
        if (!r.eat('>')) return malformed("bad section origin");
      }
    }
    if (auto s = r.sp(); !s) return std::unexpected(s.error());
    if (iequals(*name, "UID")) {
      auto n = r.number();
      if (!n) return std::unexpected(n.error());
      if (*n == 0) return malformed("UID 0");
      f.uid = static_cast<std::uint32_t>(*n);
    } else if (iequals(*name, "FLAGS")) {
      auto flags = r.flag_list();
      if (!flags) return std::unexpected(flags.error());
      f.flags = std::move(*flags);
    } else if (iequals(*name, "INTERNALDATE")) {
      auto text = r.string();
      if (!text) return std::unexpected(text.error());
      auto when = parse_internal_date(*text);
      if (!when) return std::unexpected(when.error());
      f.internal_date = *when;
    } else {
      if (auto v = r.skip_value(); !v) return std::unexpected(v.error());
    }
  }
  if (!r.at_end()) return malformed("text after FETCH data");
  return f;
}

// RFC 3501 section 7.2.5 (SEARCH); a trailing "(MODSEQ n)" (RFC 7162) is skipped.
std::expected<Response, std::string> parse_search(Reader& r) {
  Search s;
  while (!r.at_end()) {
    if (auto e = r.sp(); !e) return std::unexpected(e.error());
    if (r.at_end()) break;  // tolerate a trailing space
    if (r.peek() == '(') {
      if (auto v = r.skip_value(); !v) return std::unexpected(v.error());
      continue;
    }
    auto n = r.number();
    if (!n) return std::unexpected(n.error());
    if (*n == 0) return malformed("SEARCH result 0");
    s.ids.push_back(static_cast<std::uint32_t>(*n));
  }
  return s;
}

// RFC 3501 section 7.2.2 (LIST), RFC 5258 extended data ignored.
std::expected<Response, std::string> parse_list(Reader& r) {
  ListEntry e;
  if (auto s = r.sp(); !s) return std::unexpected(s.error());
  auto attrs = r.flag_list();
  if (!attrs) return std::unexpected(attrs.error());
  e.attributes = std::move(*attrs);
  if (auto s = r.sp(); !s) return std::unexpected(s.error());
  if (!r.nil()) {
    auto d = r.string();
    if (!d) return std::unexpected(d.error());
    if (d->size() != 1) return malformed("LIST delimiter is not one character");
    e.delimiter = (*d)[0];
  }
  if (auto s = r.sp(); !s) return std::unexpected(s.error());
  auto name = r.astring();
  if (!name) return std::unexpected(name.error());
  e.name = std::move(*name);
  if (!r.at_end()) {
    if (auto s = r.sp(); !s) return std::unexpected(s.error());
    if (auto v = r.skip_value(); !v) return std::unexpected(v.error());
    if (!r.at_end()) return malformed("text after LIST data");
  }
  return e;
}

// RFC 3501 section 7 (response-data): "*" SP (resp-cond-state / resp-cond-bye /
// mailbox-data / message-data / capability-data).
std::expected<Response, std::string> parse_untagged(Reader& r) {
  if (auto s = r.sp(); !s) return std::unexpected(s.error());
  if (r.peek() >= '0' && r.peek() <= '9') {
    auto n = r.number();
    if (!n) return std::unexpected(n.error());
    if (auto s = r.sp(); !s) return std::unexpected(s.error());
    auto word = r.atom();
    if (!word) return std::unexpected(word.error());
    if (iequals(*word, "FETCH")) return parse_fetch(r, static_cast<std::uint32_t>(*n));
    Numbered out;
    out.number = static_cast<std::uint32_t>(*n);
    out.name = std::string(*word);
    for (char& c : out.name)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    r.skip_rest();
    return out;
  }
  auto word = r.atom();
  if (!word) return std::unexpected(word.error());
  if (auto st = status_word(*word)) return StatusResponse{*st, status_text(r)};
  if (iequals(*word, "SEARCH")) return parse_search(r);
  if (iequals(*word, "LIST") || iequals(*word, "LSUB")) return parse_list(r);
  Other o;
  o.name = std::string(*word);
  r.eat(' ');
  o.text = std::string(r.rest());
  return o;
}

}  // namespace

std::string_view status_name(Status status) {
  switch (status) {
    case Status::Ok:
      return "OK";
    case Status::No:
      return "NO";
    case Status::Bad:
      return "BAD";
    case Status::PreAuth:
      return "PREAUTH";
    case Status::Bye:
      return "BYE";
  }
  return "?";
}

// RFC 3501 section 9 (date-time): DQUOTE date-day-fixed "-" date-month "-"
// date-year SP time SP zone DQUOTE; the quotes are already gone.
std::expected<std::int64_t, std::string> parse_internal_date(std::string_view t) {
  auto bad = [] { return Err("malformed server response: bad INTERNALDATE"); };
  std::string padded;
  if (t.size() == 25) {  // "1-Jan-…" without padding
    padded = "0";
    padded.append(t);
    t = padded;
  }
  if (t.size() != 26 || t[2] != '-' || t[6] != '-' || t[11] != ' ' || t[14] != ':' ||
      t[17] != ':' || t[20] != ' ')
    return bad();
  auto num = [&](std::size_t at, std::size_t len, int& out) {
    auto [ptr, ec] = std::from_chars(t.data() + at, t.data() + at + len, out);
    return ec == std::errc{} && ptr == t.data() + at + len;
  };
  int day = 0, year = 0, hour = 0, minute = 0, second = 0, zh = 0, zm = 0;
  if (t[0] == ' ') {
    if (!num(1, 1, day)) return bad();
  } else if (!num(0, 2, day)) {
    return bad();
  }
  static constexpr std::array<std::string_view, 12> months = {
      "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int month = 0;
  for (int i = 0; i < 12; ++i)
    if (iequals(t.substr(3, 3), months[static_cast<std::size_t>(i)])) month = i + 1;
  if (month == 0 || !num(7, 4, year) || !num(12, 2, hour) || !num(15, 2, minute) ||
      !num(18, 2, second) || (t[21] != '+' && t[21] != '-') || !num(22, 2, zh) || !num(24, 2, zm))
    return bad();
  if (day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 || zm > 59) return bad();
  // Days from the civil date (proleptic Gregorian), H. Hinnant's method.
  const int y = year - (month <= 2);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t days = static_cast<std::int64_t>(era) * 146097 + doe - 719468;
  std::int64_t secs = days * 86400 + hour * 3600 + minute * 60 + second;
  const std::int64_t offset = (zh * 60 + zm) * 60;
  secs += (t[21] == '+') ? -offset : offset;
  return secs;
}

// RFC 3501 section 7 and 9 (response = *(continue-req / response-data) response-done).
std::expected<Response, std::string> parse_response(std::string_view frame) {
  Reader r(frame);
  if (r.eat('+')) {
    r.eat(' ');
    return Continuation{std::string(r.rest())};
  }
  if (r.eat('*')) return parse_untagged(r);
  // tag = 1*<any ASTRING-CHAR except "+">
  auto tag = r.atom();
  if (!tag) return malformed("expected a tag");
  if (tag->find('+') != std::string_view::npos) return malformed("bad tag");
  if (auto s = r.sp(); !s) return std::unexpected(s.error());
  auto word = r.atom();
  if (!word) return std::unexpected(word.error());
  auto st = status_word(*word);
  if (!st || *st == Status::PreAuth || *st == Status::Bye) return malformed("bad tagged status");
  return Tagged{std::string(*tag), *st, status_text(r)};
}

}  // namespace mail::imap
