#include "oauth/pkce.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <random>
#include <stdexcept>

namespace mail {

std::array<std::uint8_t, 32> sha256(std::string_view bytes) {
  std::array<std::uint8_t, 32> digest{};
  unsigned int length = 0;
  // EVP_Digest with the default provider's SHA-256 cannot fail for in-memory input.
  EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr);
  return digest;
}

std::array<std::uint8_t, 16> random_uuid_bytes() {
  std::array<std::uint8_t, 16> b{};
  if (RAND_bytes(b.data(), static_cast<int>(b.size())) != 1) {
    // NB: OpenSSL's generator failing means the system has no entropy
    // source at all; fall back to the standard library's device.
    std::random_device device;
    for (auto& byte : b) byte = static_cast<std::uint8_t>(device());
  }
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return b;
}

std::string pkce_challenge(std::string_view verifier) {
  return base64url(sha256(verifier));
}

PkcePair pkce_pair() {
  std::array<std::uint8_t, 32> bytes{};
  const auto first = random_uuid_bytes();
  const auto second = random_uuid_bytes();
  std::copy(first.begin(), first.end(), bytes.begin());
  std::copy(second.begin(), second.end(), bytes.begin() + 16);
  PkcePair pair;
  pair.verifier = base64url(bytes);
  pair.challenge = pkce_challenge(pair.verifier);
  return pair;
}

std::string oauth_state() {
  return base64url(random_uuid_bytes());
}

}  // namespace mail
