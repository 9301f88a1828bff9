#pragma once
// Text helpers over UTF-8: code-point walking, Unicode white space, and the
// cleaning rules applied to user-supplied labels, names and ids.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mail {

// Decodes the code point at `pos` and advances `pos`. Malformed bytes decode
// as U+FFFD one byte at a time, so every input terminates.
char32_t utf8_next(std::string_view text, std::size_t& pos);
void utf8_append(std::string& out, char32_t cp);
// Number of code points (malformed bytes count one each).
std::size_t utf8_length(std::string_view text);
// Valid UTF-8 with every malformed sequence replaced by U+FFFD.
std::string utf8_sanitize(std::string_view text);

// The Unicode White_Space property.
bool is_unicode_space(char32_t cp);
// Trims Unicode white space at both ends.
std::string_view trim_unicode(std::string_view text);

// Trims; drops U+0000–U+001F and U+007F–U+009F (keeping tab, LF and CR when
// `allow_line_breaks`); keeps at most `max_chars` characters.
std::string clean_text(std::string_view text, std::size_t max_chars, bool allow_line_breaks);

// Trimmed ids in order, skipping empty ones, ones over 128 characters and
// repeats, stopping after 256.
std::vector<std::string> normalize_ids(const std::vector<std::string>& ids);

inline constexpr std::size_t max_action_ids = 256;
inline constexpr std::size_t max_id_chars = 128;

}  // namespace mail
