// The record builder over arbitrary bytes: it must never crash, hang or leak,
// and what it builds must be valid UTF-8 where the record holds text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "mime/html_text.h"
#include "mime/record_builder.h"
#include "record/text.h"

namespace {
void check_text(const std::string& s) {
  if (mail::utf8_sanitize(s) != s) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto record = mail::build_record(bytes, mail::FolderRole::Inbox, size % 2 == 0, size % 3 == 0,
                                   std::nullopt, 29713805);
  if (record) {
    check_text(record->from.email);
    check_text(record->subject);
    check_text(record->text);
    for (const auto& a : record->to) check_text(a.email);
    for (const auto& a : record->attachments) {
      check_text(a.filename);
      if (a.size != a.content.size() || a.downloaded != !a.content.empty()) std::abort();
    }
    if (record->html) check_text(*record->html);
  }
  if (!bytes.empty() && bytes.front() == '<') check_text(mail::html_to_text(bytes));
  return 0;
}
