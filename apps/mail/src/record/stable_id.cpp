#include "record/stable_id.h"

#include <cstdint>

#include "record/text.h"

namespace mail {

namespace {
std::uint64_t fnv1a(std::string_view bytes, std::uint64_t state) {
  for (unsigned char b : bytes) {
    state ^= b;
    state *= 0x100000001b3ull;
  }
  return state;
}
void put_be(std::uint8_t* out, std::uint64_t v) {
  for (int i = 7; i >= 0; --i) {
    out[i] = static_cast<std::uint8_t>(v & 0xFF);
    v >>= 8;
  }
}
}  // namespace

Uuid stable_message_id(std::optional<std::string_view> message_id) {
  if (!message_id) return Uuid::random_v4();
  std::string_view text = trim_unicode(*message_id);
  if (text.empty()) return Uuid::random_v4();
  while (!text.empty() && text.front() == '<') text.remove_prefix(1);
  while (!text.empty() && text.back() == '>') text.remove_suffix(1);
  Uuid id;
  put_be(id.bytes.data(), fnv1a(text, 0xcbf29ce484222325ull));
  put_be(id.bytes.data() + 8, fnv1a(text, 0x0102030405060708ull));
  return id;
}

}  // namespace mail
