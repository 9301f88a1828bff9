#pragma once
// Whether a set of account settings may be verified and saved.

#include <string>
#include <utility>
#include <vector>

#include "state/account_settings.h"

namespace mail {

// (field key, message), e.g. ("imap_host", "IMAP host is required").
using SettingsProblem = std::pair<std::string, std::string>;

// Every failing rule adds one problem, in a fixed order: email, IMAP host,
// SMTP host, username, IMAP port, SMTP port. Empty when the settings may be
// verified. The password and the auth kind are not checked here.
[[nodiscard]] std::vector<SettingsProblem> validate_settings(const AccountSettings& settings);

}  // namespace mail
