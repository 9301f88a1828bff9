#include "text_codec/base64.h"

namespace text_codec {
namespace {

constexpr std::string_view standard_alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view url_alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

std::string encode(const unsigned char* data, std::size_t size, std::string_view alphabet,
                   bool pad) {
  std::string out;
  out.reserve((size + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= size; i += 3) {
    const std::uint32_t v =
        (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    out += alphabet[(v >> 6) & 63];
    out += alphabet[v & 63];
  }
  const std::size_t rest = size - i;
  if (rest == 0) return out;
  std::uint32_t v = std::uint32_t{data[i]} << 16;
  if (rest == 2) v |= std::uint32_t{data[i + 1]} << 8;
  out += alphabet[(v >> 18) & 63];
  out += alphabet[(v >> 12) & 63];
  if (rest == 2) out += alphabet[(v >> 6) & 63];
  if (pad) out.append(rest == 1 ? "==" : "=");
  return out;
}

}  // namespace

std::string base64_encode(std::string_view bytes) {
  return encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                standard_alphabet, true);
}

std::string base64url_encode(std::span<const std::uint8_t> bytes) {
  return encode(bytes.data(), bytes.size(), url_alphabet, false);
}

std::string base64url_encode(std::string_view bytes) {
  return encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), url_alphabet,
                false);
}

}  // namespace text_codec
