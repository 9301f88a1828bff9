#include "record/uuid.h"

#include <openssl/rand.h>

#include <cstring>
#include <random>

namespace mail {

std::string Uuid::to_string() const {
  static constexpr char hex[] = "0123456789abcdef";
  std::string out;
  out.reserve(36);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
    out.push_back(hex[bytes[i] >> 4]);
    out.push_back(hex[bytes[i] & 0xF]);
  }
  return out;
}

bool Uuid::is_nil() const {
  for (auto b : bytes)
    if (b != 0) return false;
  return true;
}

namespace {
int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::optional<Uuid> Uuid::parse(std::string_view text) {
  if (text.size() != 36) return std::nullopt;
  Uuid id;
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    const int hi = hex_value(text[i]);
    const int lo = hex_value(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    id.bytes[out++] = static_cast<std::uint8_t>(hi << 4 | lo);
    i += 2;
  }
  return id;
}

Uuid Uuid::random_v4() {
  Uuid id;
  if (RAND_bytes(id.bytes.data(), static_cast<int>(id.bytes.size())) != 1) {
    // NB: OpenSSL's generator failing is extraordinary; fall back to the
    // system's random device rather than hand out a predictable id.
    std::random_device rd;
    for (auto& b : id.bytes) b = static_cast<std::uint8_t>(rd());
  }
  id.bytes[6] = static_cast<std::uint8_t>((id.bytes[6] & 0x0F) | 0x40);
  id.bytes[8] = static_cast<std::uint8_t>((id.bytes[8] & 0x3F) | 0x80);
  return id;
}

std::size_t UuidHash::operator()(const Uuid& id) const noexcept {
  std::uint64_t a = 0, b = 0;
  std::memcpy(&a, id.bytes.data(), 8);
  std::memcpy(&b, id.bytes.data() + 8, 8);
  return static_cast<std::size_t>(a ^ (b * 0x9E3779B97F4A7C15ull));
}

}  // namespace mail
