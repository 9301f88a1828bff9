#include <cstdint>
#include <string>
#include <vector>

#include "attach/attach.h"

namespace mail {
namespace {

// Decodes UTF-8; a byte that does not start a well-formed sequence becomes
// U+FFFD, so the result is always valid UTF-8 when encoded again.
std::vector<char32_t> decode(std::string_view s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int len = 0;
    char32_t cp = 0;
    if (b0 < 0x80) {
      len = 1;
      cp = b0;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
      len = 2;
      cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      len = 3;
      cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      len = 4;
      cp = b0 & 0x07;
    }
    bool ok = len > 0 && i + static_cast<std::size_t>(len) <= s.size();
    for (int k = 1; ok && k < len; ++k) {
      const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((b & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (ok && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
               (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))) {
      ok = false;
    }
    if (!ok) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += static_cast<std::size_t>(len);
  }
  return out;
}

std::size_t utf8_len(char32_t c) {
  return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool is_control(char32_t c) {
  return c <= 0x1F || (c >= 0x7F && c <= 0x9F);
}

// Unicode White_Space.
bool is_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

std::vector<char32_t> last_component(std::string_view name) {
  const std::size_t cut = name.find_last_of("/\\");
  return decode(cut == std::string_view::npos ? name : name.substr(cut + 1));
}

void trim(std::vector<char32_t>& v) {
  std::size_t b = 0;
  while (b < v.size() && is_space(v[b])) ++b;
  std::size_t e = v.size();
  while (e > b && is_space(v[e - 1])) --e;
  v = std::vector<char32_t>(v.begin() + static_cast<std::ptrdiff_t>(b),
                            v.begin() + static_cast<std::ptrdiff_t>(e));
}

void drop_controls(std::vector<char32_t>& v) {
  std::erase_if(v, is_control);
}

std::string finish(const std::vector<char32_t>& v) {
  std::string out;
  for (char32_t c : v) append_utf8(out, c);
  if (out.empty() || out == "." || out == "..") return "attachment";
  return out;
}

}  // namespace

std::string sanitize_filename(std::string_view name, CharLimit limit) {
  auto v = last_component(name);
  drop_controls(v);
  if (v.size() > limit.chars) v.resize(limit.chars);
  trim(v);
  return finish(v);
}

std::string sanitize_filename(std::string_view name, ByteLimit limit) {
  auto v = last_component(name);
  trim(v);
  drop_controls(v);
  std::size_t bytes = 0;
  std::size_t keep = 0;
  for (; keep < v.size(); ++keep) {
    const std::size_t n = utf8_len(v[keep]);
    if (bytes + n > limit.bytes) break;
    bytes += n;
  }
  v.resize(keep);
  return finish(v);
}

}  // namespace mail
