#include "persist/codec.h"

namespace persist::codec {

void Writer::varint(std::uint64_t v) {
  while (v >= 0x80) {
    out_.push_back(static_cast<char>((v & 0x7f) | 0x80));
    v >>= 7;
  }
  out_.push_back(static_cast<char>(v));
}

void Writer::svarint(std::int64_t v) {
  const auto u = static_cast<std::uint64_t>(v);
  varint((u << 1) ^ (v < 0 ? ~std::uint64_t{0} : 0));
}

void Writer::bytes(std::string_view s) {
  varint(s.size());
  out_.append(s);
}

void Writer::u64_fixed(std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

std::uint8_t Reader::u8() {
  if (pos_ >= in_.size()) {
    fail();
    return 0;
  }
  return static_cast<std::uint8_t>(in_[pos_++]);
}

std::uint64_t Reader::varint() {
  std::uint64_t v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (pos_ >= in_.size()) {
      fail();
      return 0;
    }
    const auto b = static_cast<std::uint8_t>(in_[pos_++]);
    if (shift == 63 && (b & 0x7e) != 0) {  // more than 64 bits
      fail();
      return 0;
    }
    v |= static_cast<std::uint64_t>(b & 0x7f) << shift;
    if ((b & 0x80) == 0) return v;
  }
  fail();
  return 0;
}

std::int64_t Reader::svarint() {
  const std::uint64_t u = varint();
  return static_cast<std::int64_t>((u >> 1) ^ (~(u & 1) + 1));
}

std::string Reader::bytes(std::size_t max_len) {
  const std::uint64_t n = varint();
  if (!ok_ || n > left() || n > max_len) {
    fail();
    return {};
  }
  std::string s(in_.substr(pos_, n));
  pos_ += n;
  return s;
}

std::string_view Reader::raw(std::size_t n) {
  if (n > left()) {
    fail();
    return {};
  }
  auto s = in_.substr(pos_, n);
  pos_ += n;
  return s;
}

std::uint64_t Reader::u64_fixed() {
  auto s = raw(8);
  if (!ok_) return 0;
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(s[i]);
  return v;
}

std::size_t Reader::count(std::size_t min_item_bytes) {
  const std::uint64_t n = varint();
  if (!ok_) return 0;
  if (min_item_bytes == 0) min_item_bytes = 1;
  if (n > left() / min_item_bytes) {
    fail();
    return 0;
  }
  return static_cast<std::size_t>(n);
}

std::uint64_t checksum(std::string_view bytes) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

}  // namespace persist::codec
