#pragma once
// Fixed sentences for connection, TLS and log-in errors, shown to the user.

#include <string>
#include <string_view>

namespace mail {

// What the code that failed knows about the failure beyond its text. Most
// failures are only a text (a system error, a TLS alert, a server reply);
// the few that are recognised where they happen carry their kind, so their
// sentence never depends on the words of the text.
enum class ConnectionErrorKind {
  Unclassified,
  StartTlsNotOffered,  // STARTTLS is required but the server does not offer it
};

// Lower-cases the text and returns the sentence of the first group it
// matches (authentication, TLS/certificate, refused, timed out, host not
// found, unreachable), or "connection failed: " and the unchanged text.
[[nodiscard]] std::string describe_connection_error(std::string_view text);

// The sentence of a known kind; an unclassified error is worded from its
// text as above.
[[nodiscard]] std::string describe_connection_error(ConnectionErrorKind kind,
                                                    std::string_view text);

}  // namespace mail
