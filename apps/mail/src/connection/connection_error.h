#pragma once
// Fixed sentences for connection, TLS and log-in errors, shown to the user.

#include <string>
#include <string_view>

namespace mail {

// Lower-cases the text and returns the sentence of the first group it
// matches (authentication, TLS/certificate, refused, timed out, host not
// found, unreachable), or "connection failed: " and the unchanged text.
[[nodiscard]] std::string describe_connection_error(std::string_view text);

}  // namespace mail
