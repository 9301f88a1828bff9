#include "list_model/format.h"

#include <glib.h>
#include <openssl/evp.h>

#include <cstdio>
#include <vector>

#include "record/text.h"

namespace mail {

namespace {

constexpr std::array<std::string_view, 12> months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> weekdays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

struct Civil {
  std::int64_t year;
  unsigned month;  // 1–12
  unsigned day;    // 1–31
};

// Days since 1970-01-01 to the proleptic Gregorian date (H. Hinnant's
// days-to-civil).
Civil civil_from_days(std::int64_t z) {
  z += 719468;
  const std::int64_t era = floor_div(z, 146097);
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {m <= 2 ? y + 1 : y, m, d};
}

bool is_initials_separator(char32_t cp) {
  return is_unicode_space(cp) || cp == '.' || cp == '@' || cp == '_';
}

// Full Unicode upper-casing of one character (one may become several).
// ASCII is mapped here so that no locale (Turkish dotted i) changes it.
void append_upper(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(cp >= 'a' && cp <= 'z' ? static_cast<char>(cp - 32) : static_cast<char>(cp));
    return;
  }
  std::string one;
  utf8_append(one, cp);
  gchar* upper = g_utf8_strup(one.data(), static_cast<gssize>(one.size()));
  if (upper != nullptr) {
    out.append(upper);
    g_free(upper);
  } else {
    out.append(one);
  }
}

}  // namespace

std::string sender_label(const MessageRecord& message) {
  if (message.from.name && !message.from.name->empty()) return *message.from.name;
  return message.from.email;
}

std::string initials_of(std::string_view text) {
  std::vector<char32_t> firsts;
  bool in_segment = false;
  for (std::size_t pos = 0; pos < text.size() && firsts.size() < 2;) {
    const char32_t cp = utf8_next(text, pos);
    if (is_initials_separator(cp)) {
      in_segment = false;
    } else if (!in_segment) {
      firsts.push_back(cp);
      in_segment = true;
    }
  }
  if (firsts.empty()) return "?";
  std::string out;
  for (char32_t cp : firsts) append_upper(out, cp);
  return out;
}

std::string sender_initials(const MessageRecord& message) {
  return initials_of(message.from.name ? std::string_view(*message.from.name)
                                       : std::string_view(message.from.email));
}

std::string avatar_url(std::string_view address, std::string_view base_url) {
  std::string normal(trim_unicode(address));
  for (auto& c : normal)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_Digest(normal.data(), normal.size(), digest, &len, EVP_md5(), nullptr);
  static constexpr char hex[] = "0123456789abcdef";
  std::string url(base_url);
  url += "/avatar/";
  for (unsigned i = 0; i < len; ++i) {
    url.push_back(hex[digest[i] >> 4]);
    url.push_back(hex[digest[i] & 0xF]);
  }
  url += "?s=96&d=404";
  return url;
}

std::uint8_t avatar_palette_index(std::string_view text, std::uint32_t seed) {
  std::uint32_t h = seed;
  for (unsigned char b : text) h = h * 31u + b;
  return static_cast<std::uint8_t>(h % 8u);
}

Rgba avatar_colour(std::string_view text, std::uint32_t seed, const AccentColours& accents) {
  const std::uint8_t i = avatar_palette_index(text, seed);
  if (i < 6) return accents[i];
  return i == 6 ? avatar_fixed_6 : avatar_fixed_7;
}

std::string preview_line(const MessageRecord& message) {
  std::string_view text = message.text;
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    const std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    const std::string_view trimmed = trim_unicode(line);
    if (trimmed.empty()) continue;
    std::string out;
    out.reserve(trimmed.size());
    bool space = false;
    for (std::size_t pos = 0; pos < trimmed.size();) {
      const std::size_t start = pos;
      const char32_t cp = utf8_next(trimmed, pos);
      if (is_unicode_space(cp)) {
        space = true;
        continue;
      }
      if (space) out.push_back(' ');
      space = false;
      out.append(trimmed.substr(start, pos - start));
    }
    return out;
  }
  return {};
}

std::string format_list_date(std::int64_t minute, std::int64_t now_minute) {
  const std::int64_t day = floor_div(minute, 1440);
  const std::int64_t d = floor_div(now_minute, 1440) - day;
  if (d == 0) {
    const std::int64_t of_day = minute - 1440 * day;
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:%02d", static_cast<int>(of_day / 60),
                  static_cast<int>(of_day % 60));
    return buf;
  }
  if (d == 1) return "Yesterday";
  if (d >= 2 && d <= 6) {
    // Day 0 was a Thursday.
    const auto w = static_cast<std::size_t>(((day % 7) + 7 + 4) % 7);
    return std::string(weekdays[w]);
  }
  const Civil c = civil_from_days(day);
  return std::string(months[c.month - 1]) + " " + std::to_string(c.day);
}

std::string format_full_date(std::int64_t minute) {
  const std::int64_t day = floor_div(minute, 1440);
  const std::int64_t of_day = minute - 1440 * day;
  const Civil c = civil_from_days(day);
  char time[8];
  std::snprintf(time, sizeof time, "%02d:%02d", static_cast<int>(of_day / 60),
                static_cast<int>(of_day % 60));
  return std::string(months[c.month - 1]) + " " + std::to_string(c.day) + ", " +
         std::to_string(c.year) + ", " + time;
}

std::string_view plural_suffix(std::uint64_t count) {
  return count == 1 ? "" : "s";
}

namespace {
// before + count + " " + noun + plural suffix + after
std::string count_phrase(std::string_view before, std::uint64_t count, std::string_view noun,
                         std::string_view after) {
  std::string out(before);
  out += std::to_string(count);
  out += ' ';
  out += noun;
  out += plural_suffix(count);
  out += after;
  return out;
}
}  // namespace

std::string conversation_header_text(std::uint64_t count, FolderRole folder) {
  return count_phrase("", count, "message", " · ") + std::string(folder_display_name(folder));
}
std::string selected_count_text(std::uint64_t count) {
  return count_phrase("", count, "message", " selected");
}
std::string attachment_count_text(std::uint64_t count) {
  return count_phrase("", count, "attachment", "");
}
std::optional<std::string> count_pill_text(std::uint64_t count) {
  if (count < 2) return std::nullopt;
  return std::to_string(count);
}
std::string conversation_description_text(std::uint64_t count) {
  return std::to_string(count) + " messages in this conversation";
}
std::string archived_text(std::uint64_t count) {
  return count_phrase("Archived ", count, "message", "");
}
std::string trashed_text(std::uint64_t count) {
  return count_phrase("Moved ", count, "message", " to Trash");
}
std::string marked_read_text(std::uint64_t count) {
  return count_phrase("Marked ", count, "message", " read");
}
std::string marked_unread_text(std::uint64_t count) {
  return count_phrase("Marked ", count, "message", " unread");
}

}  // namespace mail
