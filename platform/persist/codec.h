#pragma once
// Byte encoding used for stored documents and exchanged changes: unsigned
// LEB128 integers, length-prefixed strings, and a reader that checks every
// length against the bytes left, so bad input ends in an error, never in a
// crash or a huge allocation.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace persist::codec {

class Writer {
 public:
  void u8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void varint(std::uint64_t v);
  void svarint(std::int64_t v);  // zig-zag
  void bytes(std::string_view s);  // length, then the bytes
  void raw(std::string_view s) { out_.append(s); }
  void u64_fixed(std::uint64_t v);  // little-endian, 8 bytes
  std::string& str() { return out_; }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}
  bool ok() const { return ok_; }
  bool at_end() const { return pos_ == in_.size(); }
  std::size_t left() const { return in_.size() - pos_; }
  std::uint8_t u8();
  std::uint64_t varint();
  std::int64_t svarint();
  std::string bytes(std::size_t max_len = 1u << 30);
  std::string_view raw(std::size_t n);
  std::uint64_t u64_fixed();
  // A count of items that each take at least `min_item_bytes`: fails when the
  // bytes left cannot hold that many.
  std::size_t count(std::size_t min_item_bytes = 1);
  void fail() { ok_ = false; pos_ = in_.size(); }

 private:
  std::string_view in_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

// 64-bit FNV-1a over bytes; detects damage to a stored file.
std::uint64_t checksum(std::string_view bytes);

}  // namespace persist::codec
