#pragma once
// PKCE (RFC 7636, method S256), the state value and the Base64 flavour they
// are written in.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "text_codec/base64.h"

namespace mail {

// URL-safe alphabet, no "=" padding (RFC 4648 section 5).
[[nodiscard]] inline std::string base64url(std::span<const std::uint8_t> bytes) {
  return text_codec::base64url_encode(bytes);
}
[[nodiscard]] inline std::string base64url(std::string_view bytes) {
  return text_codec::base64url_encode(bytes);
}

// SHA-256 (FIPS 180-4) of the bytes.
[[nodiscard]] std::array<std::uint8_t, 32> sha256(std::string_view bytes);

struct PkcePair {
  std::string verifier;   // 43 characters: two random UUIDs' bytes
  std::string challenge;  // 43 characters: base64url(SHA-256(verifier))
};

[[nodiscard]] PkcePair pkce_pair();
[[nodiscard]] std::string pkce_challenge(std::string_view verifier);
// 22 characters: one random UUID's bytes.
[[nodiscard]] std::string oauth_state();

// 16 random bytes shaped as a version-4 UUID.
[[nodiscard]] std::array<std::uint8_t, 16> random_uuid_bytes();

}  // namespace mail
