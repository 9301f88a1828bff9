#pragma once
// SASL initial responses that IMAP and SMTP send alike.

#include <string>
#include <string_view>

namespace text_codec {

// Base64 of "user=" login 0x01 "auth=Bearer " token 0x01 0x01: the XOAUTH2
// initial client response. It carries the token: never log it.
[[nodiscard]] std::string xoauth2_initial_response(std::string_view login, std::string_view token);

// Base64 of 0x00 login 0x00 password (RFC 4616 PLAIN without an authorization
// identity). It carries the password: never log it.
[[nodiscard]] std::string plain_initial_response(std::string_view login, std::string_view password);

}  // namespace text_codec
