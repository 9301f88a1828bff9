#include "text_codec/form.h"

#include <cstdint>

namespace text_codec {
namespace {

bool unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '*' ||
         c == '-' || c == '.' || c == '_';
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string decode_component(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      bytes += ' ';
    } else if (c == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
               hex_value(text[i + 2]) >= 0) {
      bytes += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
      i += 2;
    } else {
      bytes += c;
    }
  }
  return utf8_lossy(bytes);
}

}  // namespace

std::string form_encode(std::string_view value) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == ' ') {
      out += '+';
    } else if (unreserved(c)) {
      out += ch;
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 0xF];
    }
  }
  return out;
}

std::string form_body(const FormPairs& pairs) {
  std::string out;
  for (const auto& [key, value] : pairs) {
    if (!out.empty()) out += '&';
    out += form_encode(key);
    out += '=';
    out += form_encode(value);
  }
  return out;
}

FormPairs parse_form_query(std::string_view query) {
  FormPairs pairs;
  while (!query.empty()) {
    const auto amp = query.find('&');
    const std::string_view piece = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
    if (piece.empty()) continue;
    const auto eq = piece.find('=');
    if (eq == std::string_view::npos) {
      pairs.emplace_back(decode_component(piece), std::string());
    } else {
      pairs.emplace_back(decode_component(piece.substr(0, eq)),
                         decode_component(piece.substr(eq + 1)));
    }
  }
  return pairs;
}

std::string utf8_lossy(std::string_view bytes) {
  static constexpr std::string_view replacement = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    std::size_t need = 0;
    std::uint32_t lo = 0x80, hi = 0xBF;  // bounds for the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      need = 2;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      need = 3;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      out += replacement;
      ++i;
      continue;
    }
    std::size_t j = 1;
    for (; j <= need && i + j < bytes.size(); ++j) {
      const auto b = static_cast<unsigned char>(bytes[i + j]);
      const std::uint32_t min = j == 1 ? lo : 0x80, max = j == 1 ? hi : 0xBF;
      if (b < min || b > max) break;
    }
    if (j == need + 1) {
      out.append(bytes.substr(i, need + 1));
      i += need + 1;
    } else {
      // A maximal invalid prefix becomes one replacement character.
      out += replacement;
      i += j;
    }
  }
  return out;
}

}  // namespace text_codec
