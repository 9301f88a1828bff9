#pragma once
// Base64 (RFC 4648): the standard alphabet with padding, for SASL and MIME,
// and the URL alphabet without padding, for PKCE and state values.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace text_codec {

[[nodiscard]] std::string base64_encode(std::string_view bytes);
[[nodiscard]] std::string base64url_encode(std::span<const std::uint8_t> bytes);
[[nodiscard]] std::string base64url_encode(std::string_view bytes);

}  // namespace text_codec
