// Decodes arbitrary bytes as a MailAction and as a MailOperation; whatever
// decodes must encode and decode back to the same value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "actions/verbs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto action = mail::decode_mail_action(text)) {
    auto again = mail::decode_mail_action(mail::encode_mail_action(*action));
    if (!again || *again != *action) std::abort();
  }
  if (auto operation = mail::decode_mail_operation(text)) {
    auto again = mail::decode_mail_operation(mail::encode_mail_operation(*operation));
    if (!again || *again != *operation) std::abort();
  }
  return 0;
}
