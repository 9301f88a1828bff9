#pragma once
// ASCII-only text helpers for protocol words, header names, host names and
// hand-written configuration: none of them look at bytes above 0x7F, so they
// are safe on any UTF-8 text.

#include <string>
#include <string_view>

namespace text_codec {

// Space, tab, LF, CR, form feed, vertical tab.
[[nodiscard]] constexpr bool is_ascii_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The text without ASCII white space at either end.
[[nodiscard]] std::string_view trim(std::string_view text);

// A–Z lowered; every other byte as it is.
[[nodiscard]] constexpr char to_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
[[nodiscard]] std::string to_lower(std::string_view text);

// Equal when A–Z and a–z are taken as the same letters.
[[nodiscard]] bool iequals(std::string_view a, std::string_view b);

}  // namespace text_codec
