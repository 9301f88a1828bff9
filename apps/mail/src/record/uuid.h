#pragma once
// 16-byte message identifiers, written as lower-case hyphenated text
// (8-4-4-4-12 hexadecimal digits).

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mail {

struct Uuid {
  std::array<std::uint8_t, 16> bytes{};

  // Byte-wise unsigned comparison, which is also the order of the text form.
  auto operator<=>(const Uuid&) const = default;

  [[nodiscard]] std::string to_string() const;
  [[nodiscard]] bool is_nil() const;
  // Accepts the hyphenated form in either case; nothing else.
  [[nodiscard]] static std::optional<Uuid> parse(std::string_view text);
  // A random version-4 UUID (OpenSSL's generator).
  [[nodiscard]] static Uuid random_v4();
};

struct UuidHash {
  std::size_t operator()(const Uuid& id) const noexcept;
};

}  // namespace mail

template <>
struct std::hash<mail::Uuid> {
  std::size_t operator()(const mail::Uuid& id) const noexcept { return mail::UuidHash{}(id); }
};
