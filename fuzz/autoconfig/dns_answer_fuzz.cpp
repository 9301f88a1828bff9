#include <cstddef>
#include <cstdint>
#include <string_view>

#include "autoconfig/dns_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto records = mail::read_mx_answer(text);
  for (std::size_t i = 1; i < records.size(); ++i) {
    if (records[i - 1].preference > records[i].preference) __builtin_trap();
  }
  for (const auto& r : records) {
    if (r.host.empty()) __builtin_trap();
  }
  (void)mail::provider_kind_for_mx_answer(text);
  return 0;
}
