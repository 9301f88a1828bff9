#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "oauth/form.h"
#include "oauth/redirect.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto params = mail::parse_redirect(text);
  // An error always wins over a code.
  if (params.error && params.code) __builtin_trap();
  // Decoded texts are valid UTF-8.
  for (const auto* value : {&params.code, &params.state, &params.error}) {
    if (*value && mail::utf8_lossy(**value) != **value) __builtin_trap();
  }
  return 0;
}
