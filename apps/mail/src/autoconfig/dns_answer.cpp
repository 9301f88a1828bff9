#include "autoconfig/dns_answer.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "text_codec/ascii.h"

namespace mail {
namespace {

using text_codec::is_ascii_space;
using text_codec::trim;

std::optional<std::uint16_t> read_u16(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

constexpr int mx_type = 15;

}  // namespace

std::vector<MxRecord> read_mx_answer(std::string_view body) {
  std::vector<MxRecord> records;
  const auto json = nlohmann::json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (!json.is_object()) return records;
  const auto answer = json.find("Answer");
  if (answer == json.end() || !answer->is_array()) return records;
  for (const auto& entry : *answer) {
    if (!entry.is_object()) continue;
    const auto type = entry.find("type");
    if (type == entry.end() || !type->is_number_integer() || type->get<std::int64_t>() != mx_type)
      continue;
    const auto data = entry.find("data");
    if (data == entry.end() || !data->is_string()) continue;
    const std::string_view text = trim(data->get_ref<const std::string&>());
    const auto gap = std::find_if(text.begin(), text.end(), is_ascii_space);
    if (gap == text.end()) continue;
    const auto preference = read_u16(text.substr(0, static_cast<std::size_t>(gap - text.begin())));
    const std::string_view host = trim(text.substr(static_cast<std::size_t>(gap - text.begin())));
    if (!preference || host.empty()) continue;
    records.push_back({*preference, std::string(host)});
  }
  std::stable_sort(records.begin(), records.end(), [](const MxRecord& a, const MxRecord& b) {
    return a.preference < b.preference;
  });
  return records;
}

std::optional<ProviderKind> provider_kind_for_mx_answer(std::string_view body) {
  for (const auto& record : read_mx_answer(body)) {
    if (auto kind = provider_kind_for_mx(record.host)) return kind;
  }
  return std::nullopt;
}

}  // namespace mail
