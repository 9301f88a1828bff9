#include "mime/charset.h"

#include <gmime/gmime.h>

#include <array>
#include <cerrno>
#include <string>

#include "record/text.h"

namespace mail::detail {

namespace {

constexpr std::array<char16_t, 32> cp1252_high{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string lower_ascii(std::string_view s) {
  std::string out(s);
  for (auto& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool valid_utf8(std::string_view s) {
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t start = pos;
    if (utf8_next(s, pos) == 0xFFFD && !(pos - start == 3 && s.substr(start, 3) == "\xEF\xBF\xBD"))
      return false;
  }
  return true;
}

// iconv from `charset`, replacing each byte it cannot take with U+FFFD.
bool iconv_to_utf8(std::string_view bytes, const char* charset, std::string& out) {
  iconv_t cd = g_mime_iconv_open("UTF-8", charset);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  out.reserve(bytes.size() + bytes.size() / 4);
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  std::array<char, 4096> buf{};
  while (in_left > 0) {
    char* o = buf.data();
    std::size_t o_left = buf.size();
    const std::size_t rc = iconv(cd, &in, &in_left, &o, &o_left);
    out.append(buf.data(), buf.size() - o_left);
    if (rc == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (truncated sequence at the end): skip one byte.
      utf8_append(out, 0xFFFD);
      ++in;
      --in_left;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  // Flush any shift state.
  char* o = buf.data();
  std::size_t o_left = buf.size();
  iconv(cd, nullptr, nullptr, &o, &o_left);
  out.append(buf.data(), buf.size() - o_left);
  g_mime_iconv_close(cd);
  return true;
}

}  // namespace

std::string windows1252_to_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (unsigned char b : bytes) {
    if (b < 0x80)
      out.push_back(static_cast<char>(b));
    else if (b < 0xA0)
      utf8_append(out, cp1252_high[b - 0x80]);
    else
      utf8_append(out, b);
  }
  return out;
}

std::string to_utf8(std::string_view bytes, std::string_view charset_label) {
  const std::string label = lower_ascii(charset_label);
  if (label.empty() || label == "utf-8" || label == "utf8" || label == "unknown-8bit" ||
      label == "x-unknown" || label == "unknown") {
    return valid_utf8(bytes) ? std::string(bytes) : windows1252_to_utf8(bytes);
  }
  if (label == "us-ascii" || label == "ascii" || label == "iso-8859-1" || label == "iso8859-1" ||
      label == "latin1" || label == "latin-1" || label == "l1" || label == "windows-1252" ||
      label == "cp1252" || label == "x-cp1252" || label == "iso_8859-1") {
    return windows1252_to_utf8(bytes);
  }
  std::string out;
  if (iconv_to_utf8(bytes, label.c_str(), out)) return utf8_sanitize(out);
  // An unknown charset: take the bytes as UTF-8 if they are, else as 1252.
  return valid_utf8(bytes) ? std::string(bytes) : windows1252_to_utf8(bytes);
}

}  // namespace mail::detail
