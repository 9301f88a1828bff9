#include <cstddef>
#include <cstdint>
#include <string_view>

#include "autoconfig/autoconfig_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto p = mail::parse_autoconfig(text)) {
    // A result always has both hosts.
    if (p->imap_host.empty() || p->smtp_host.empty()) __builtin_trap();
  }
  return 0;
}
