// Reads arbitrary bytes as an account settings document and checks that a
// document that reads is written back to one that reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "state/account_settings.h"
#include "validate/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto stored = mail::read_settings_document_text(text);
  if (!stored) return 0;
  (void)mail::validate_settings(stored->settings);
  const auto doc = mail::settings_document(stored->settings, stored->collapsed);
  auto again = mail::read_settings_document_text(doc.dump());
  if (!again || *again != *stored) std::abort();
  return 0;
}
