#pragma once
// Filling account settings from a discovery result, or from a guess when the
// lookup found nothing.

#include "autoconfig/provider.h"
#include "state/account_settings.h"

namespace mail {

// Servers, ports and TLS from the provider; OAuth when it is OAuth capable;
// its name as the display name when that is blank. Username and password are
// never touched.
void apply_provider(AccountSettings& settings, const ProviderSettings& provider);

// "imap.{domain}"/"smtp.{domain}" with 993 and 465 over TLS; fills an empty
// username with the email and an empty display name with the local part.
// Without an "@" nothing changes.
void guess_servers(AccountSettings& settings);

}  // namespace mail
