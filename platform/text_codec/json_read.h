#pragma once
// Helpers for reading JSON values into typed records with plain error texts
// ("missing field `ids`", "invalid type: string \"x\", expected a boolean").

#include <cstdint>
#include <expected>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace text_codec::json_read {

// Parses text; a repeated key inside any object is an error
// ("duplicate field `name`"). Parser errors carry the parser's message.
[[nodiscard]] std::expected<nlohmann::json, std::string> parse_strict(std::string_view text);

// "string \"abc\"", "integer `5`", "a map", … for error texts.
[[nodiscard]] std::string describe(const nlohmann::json& v);

[[nodiscard]] std::string missing_field(std::string_view name);
[[nodiscard]] std::string invalid_type(const nlohmann::json& v, std::string_view expected);

// Each returns the member's value or an error text naming what was wrong.
[[nodiscard]] std::expected<std::string, std::string> get_string(const nlohmann::json& obj,
                                                                 std::string_view key);
[[nodiscard]] std::expected<bool, std::string> get_bool(const nlohmann::json& obj,
                                                        std::string_view key);
[[nodiscard]] std::expected<std::uint64_t, std::string> get_u64(const nlohmann::json& obj,
                                                                std::string_view key);
[[nodiscard]] std::expected<std::uint16_t, std::string> get_u16(const nlohmann::json& obj,
                                                                std::string_view key);

// Value conversions with the same error texts.
[[nodiscard]] std::expected<std::string, std::string> as_string(const nlohmann::json& v);
[[nodiscard]] std::expected<std::uint64_t, std::string> as_u64(const nlohmann::json& v);

}  // namespace text_codec::json_read
