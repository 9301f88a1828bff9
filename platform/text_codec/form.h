#pragma once
// "application/x-www-form-urlencoded" in both directions, and the lossy UTF-8
// decoding that untrusted request bytes go through.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace text_codec {

using FormPairs = std::vector<std::pair<std::string, std::string>>;

// Serializer: space as "+", ASCII letters, digits and "*-._" as they are,
// every other byte as "%" and two upper-case hex digits.
[[nodiscard]] std::string form_encode(std::string_view value);
// "k=v&k=v" with each side encoded.
[[nodiscard]] std::string form_body(const FormPairs& pairs);

// Decodes a query (without the "?"): split at "&", empty pieces skipped, each
// piece split at its first "=", "+" as space, "%XX" decoded (a malformed
// escape stays as it is), then bytes read as UTF-8 with invalid sequences
// replaced by U+FFFD.
[[nodiscard]] FormPairs parse_form_query(std::string_view query);

// Valid UTF-8 with each invalid sequence replaced by U+FFFD.
[[nodiscard]] std::string utf8_lossy(std::string_view bytes);

}  // namespace text_codec
