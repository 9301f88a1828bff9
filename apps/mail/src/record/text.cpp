#include "record/text.h"

#include <algorithm>
#include <unordered_set>

namespace mail {

char32_t utf8_next(std::string_view s, std::size_t& pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = byte(pos);
  if (c < 0x80) {
    ++pos;
    return c;
  }
  std::size_t need = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    need = 1, cp = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    need = 2, cp = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    need = 3, cp = c & 0x07, min = 0x10000;
  } else {
    ++pos;
    return 0xFFFD;
  }
  if (pos + need >= s.size()) {
    ++pos;
    return 0xFFFD;
  }
  for (std::size_t i = 1; i <= need; ++i) {
    const unsigned char cc = byte(pos + i);
    if ((cc & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return 0xFFFD;
  }
  pos += need + 1;
  return cp;
}

void utf8_append(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::size_t utf8_length(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t pos = 0; pos < text.size(); ++n) utf8_next(text, pos);
  return n;
}

std::string utf8_sanitize(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const char32_t cp = utf8_next(text, pos);
    if (cp == 0xFFFD && !(pos - start == 3 && text.substr(start, 3) == "\xEF\xBF\xBD"))
      utf8_append(out, 0xFFFD);
    else
      out.append(text.substr(start, pos - start));
  }
  return out;
}

bool is_unicode_space(char32_t cp) {
  switch (cp) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x20:
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return cp >= 0x2000 && cp <= 0x200A;
  }
}

std::string_view trim_unicode(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t next = begin;
    if (!is_unicode_space(utf8_next(text, next))) break;
    begin = next;
  }
  std::size_t end = text.size();
  while (end > begin) {
    // Step back to the start of the last code point (at most 4 bytes).
    std::size_t start = end - 1;
    while (start > begin && end - start < 4 &&
           (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
      --start;
    std::size_t pos = start;
    const char32_t cp = utf8_next(text, pos);
    if (pos != end) {
      // Not one well-formed character ending here: a stray byte, not space.
      break;
    }
    if (!is_unicode_space(cp)) break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

std::string clean_text(std::string_view text, std::size_t max_chars, bool allow_line_breaks) {
  const std::string_view trimmed = trim_unicode(text);
  std::string out;
  out.reserve(std::min(trimmed.size(), max_chars * 4));
  std::size_t kept = 0;
  for (std::size_t pos = 0; pos < trimmed.size() && kept < max_chars;) {
    const std::size_t start = pos;
    const char32_t cp = utf8_next(trimmed, pos);
    const bool control = cp <= 0x1F || (cp >= 0x7F && cp <= 0x9F);
    if (control && !(allow_line_breaks && (cp == '\t' || cp == '\n' || cp == '\r'))) continue;
    if (cp == 0xFFFD && pos - start != 3)
      utf8_append(out, 0xFFFD);
    else
      out.append(trimmed.substr(start, pos - start));
    ++kept;
  }
  return out;
}

std::vector<std::string> normalize_ids(const std::vector<std::string>& ids) {
  std::vector<std::string> out;
  std::unordered_set<std::string_view> seen;
  for (const auto& raw : ids) {
    if (out.size() >= max_action_ids) break;
    const std::string_view id = trim_unicode(raw);
    if (id.empty() || utf8_length(id) > max_id_chars || seen.contains(id)) continue;
    out.emplace_back(id);
    seen.insert(id);  // points into `raw`, which outlives the loop
  }
  return out;
}

}  // namespace mail
