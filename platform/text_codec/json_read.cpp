#include "text_codec/json_read.h"

#include <limits>
#include <set>
#include <vector>

namespace text_codec::json_read {
using nlohmann::json;

std::expected<json, std::string> parse_strict(std::string_view text) {
  // One set of seen keys per open object; objects and arrays interleave, so
  // arrays push an empty marker to keep the stack aligned with the nesting.
  std::vector<std::set<std::string>> seen;
  std::string duplicate;
  bool has_duplicate = false;
  json::parser_callback_t cb = [&](int, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        seen.emplace_back();
        break;
      case json::parse_event_t::object_end:
      case json::parse_event_t::array_end:
        if (!seen.empty()) seen.pop_back();
        break;
      case json::parse_event_t::key:
        if (!seen.empty() && parsed.is_string()) {
          const auto& key = parsed.get_ref<const std::string&>();
          if (!seen.back().insert(key).second && !has_duplicate) {
            has_duplicate = true;
            duplicate = key;
          }
        }
        break;
      case json::parse_event_t::value:
        break;
    }
    return true;
  };
  try {
    json doc = json::parse(text.begin(), text.end(), cb);
    if (has_duplicate) return std::unexpected("duplicate field `" + duplicate + "`");
    return doc;
  } catch (const json::exception& e) {
    return std::unexpected(std::string(e.what()));
  }
}

std::string describe(const json& v) {
  switch (v.type()) {
    case json::value_t::null:
      return "null";
    case json::value_t::boolean:
      return std::string("boolean `") + (v.get<bool>() ? "true" : "false") + "`";
    case json::value_t::string:
      return "string " + json(v.get_ref<const std::string&>())
                             .dump(-1, ' ', false, json::error_handler_t::replace);
    case json::value_t::number_integer:
      return "integer `" + std::to_string(v.get<std::int64_t>()) + "`";
    case json::value_t::number_unsigned:
      return "integer `" + std::to_string(v.get<std::uint64_t>()) + "`";
    case json::value_t::number_float:
      return "floating point `" + v.dump() + "`";
    case json::value_t::object:
      return "map";
    case json::value_t::array:
      return "sequence";
    case json::value_t::binary:
    case json::value_t::discarded:
      break;
  }
  return "value";
}

std::string missing_field(std::string_view name) {
  return "missing field `" + std::string(name) + "`";
}

std::string invalid_type(const json& v, std::string_view expected) {
  return "invalid type: " + describe(v) + ", expected " + std::string(expected);
}

namespace {
std::expected<const json*, std::string> member(const json& obj, std::string_view key) {
  if (!obj.is_object()) return std::unexpected(invalid_type(obj, "a map"));
  auto it = obj.find(key);
  if (it == obj.end()) return std::unexpected(missing_field(key));
  return &*it;
}
}  // namespace

std::expected<std::string, std::string> as_string(const json& v) {
  if (!v.is_string()) return std::unexpected(invalid_type(v, "a string"));
  return v.get<std::string>();
}

std::expected<std::uint64_t, std::string> as_u64(const json& v) {
  if (v.is_number_unsigned()) return v.get<std::uint64_t>();
  if (v.is_number_integer()) {
    const auto n = v.get<std::int64_t>();
    if (n >= 0) return static_cast<std::uint64_t>(n);
    return std::unexpected("invalid value: " + describe(v) + ", expected u64");
  }
  return std::unexpected(invalid_type(v, "u64"));
}

std::expected<std::string, std::string> get_string(const json& obj, std::string_view key) {
  auto m = member(obj, key);
  if (!m) return std::unexpected(m.error());
  return as_string(**m);
}

std::expected<bool, std::string> get_bool(const json& obj, std::string_view key) {
  auto m = member(obj, key);
  if (!m) return std::unexpected(m.error());
  if (!(*m)->is_boolean()) return std::unexpected(invalid_type(**m, "a boolean"));
  return (*m)->get<bool>();
}

std::expected<std::uint64_t, std::string> get_u64(const json& obj, std::string_view key) {
  auto m = member(obj, key);
  if (!m) return std::unexpected(m.error());
  return as_u64(**m);
}

std::expected<std::uint16_t, std::string> get_u16(const json& obj, std::string_view key) {
  auto m = member(obj, key);
  if (!m) return std::unexpected(m.error());
  const json& v = **m;
  if (!v.is_number_integer()) return std::unexpected(invalid_type(v, "u16"));
  if (v.is_number_unsigned()) {
    const auto n = v.get<std::uint64_t>();
    if (n <= std::numeric_limits<std::uint16_t>::max()) return static_cast<std::uint16_t>(n);
  } else {
    const auto n = v.get<std::int64_t>();
    if (n >= 0 && n <= std::numeric_limits<std::uint16_t>::max()) {
      return static_cast<std::uint16_t>(n);
    }
  }
  return std::unexpected("invalid value: " + describe(v) + ", expected u16");
}

}  // namespace text_codec::json_read
