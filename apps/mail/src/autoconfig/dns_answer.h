#pragma once
// Reading the JSON answer of a DNS-over-HTTPS resolver ("application/dns-json")
// to an MX query.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "autoconfig/provider.h"

namespace mail {

struct MxRecord {
  std::uint16_t preference = 0;
  std::string host;
  bool operator==(const MxRecord&) const = default;
};

// The usable MX records of the answer, by ascending preference (stable).
// Anything that does not read gives no records.
[[nodiscard]] std::vector<MxRecord> read_mx_answer(std::string_view body);

// The provider of the first record whose exchanger is a known one.
[[nodiscard]] std::optional<ProviderKind> provider_kind_for_mx_answer(std::string_view body);

}  // namespace mail
