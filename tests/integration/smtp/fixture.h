#pragma once
// Shared helpers of the SMTP integration tests.

#include <functional>
#include <string>

#include "state/account_settings.h"

namespace smtptest {

// Runs the current test again in a network namespace of its own (loopback
// up), so it may listen on fixed ports such as 465 and 25 without meeting
// anything else. Returns true in the outer process (which checks the inner
// run and should return), false inside the namespace (which runs the test).
bool rerun_in_own_network();

// Trusts `ca_file` (besides the built-in roots) for this process.
void trust(const std::string& ca_file);

// A password account on localhost.
mail::AccountSettings account(std::uint16_t smtp_port,
                              std::string password = "correct horse battery");

}  // namespace smtptest
