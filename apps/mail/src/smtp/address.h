#pragma once
// Plain email addresses as they go into MAIL FROM and RCPT TO: "local@domain"
// with no display name, no angle brackets, no white space and no control
// characters (so nothing can smuggle CR or LF onto the wire).

#include <expected>
#include <string>
#include <string_view>

namespace mail::smtp {

// Checks `text` as a plain address (RFC 5321 §4.1.2 Mailbox, with UTF-8 allowed
// in atoms as RFC 6531 does) and returns it unchanged, or says what is wrong.
// The text is not trimmed here.
[[nodiscard]] std::expected<std::string, std::string> parse_plain_address(std::string_view text);

}  // namespace mail::smtp
