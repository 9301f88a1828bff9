#pragma once
// Built-in sample accounts and mail for the preview scenes: placeholder names
// and addresses under reserved example domains, dated against a fixed clock.

#include <cstdint>
#include <string_view>
#include <vector>

#include "doc/mail_document.h"
#include "state/account_settings.h"

namespace mail {

// 30 June 2026, 14:05 UTC, in minutes since the epoch.
inline constexpr std::int64_t sample_clock_minute = 29713805;
// The newsletter's sender; the html-mail scene opens the message from it.
inline constexpr std::string_view sample_newsletter_sender = "newsletter@zarn.example";

struct SampleState {
  std::vector<MailAccount> accounts;
  MailDocument document;  // the first account's mail
  std::int64_t clock_minute = sample_clock_minute;
};

[[nodiscard]] SampleState sample_state();

}  // namespace mail
