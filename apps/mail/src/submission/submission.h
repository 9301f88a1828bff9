#pragma once
// Submission of one outgoing message: the envelope derived from the account
// and the draft, and one SMTP transaction on a fresh connection.
//
// Port 465 (or 0) means TLS from the first byte; any other port STARTTLS,
// required. Password accounts authenticate with PLAIN or LOGIN, OAuth
// accounts with XOAUTH2 only; account verification connects the same way.
// Errors reach the user through describe_connection_error.

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "draft/draft.h"
#include "smtp/client.h"
#include "smtp/session.h"
#include "state/account_settings.h"

namespace mail {

inline constexpr std::uint16_t default_smtp_port = 465;

// Sender: the account's email, trimmed, as a plain address ("invalid From
// address: {}"). Recipients: To, then Cc, then Bcc through
// parse_recipients, each trimmed and kept when it is a plain address; order
// and duplicates kept ("no valid recipients" when none is left).
[[nodiscard]] std::expected<smtp::Envelope, std::string> build_envelope(
    const AccountSettings& settings, const DraftData& draft);

// Submits `mime` (the bytes build_message made, sent unchanged) and returns
// their length.
[[nodiscard]] std::expected<std::uint64_t, std::string> send_message(
    const AccountSettings& settings, const Credential& credential, const DraftData& draft,
    std::string_view mime, smtp::SessionLimits limits = {});

// Host (trimmed), port (465 for 0) and TLS mode of an account's SMTP server.
struct SmtpEndpoint {
  std::string host;
  std::uint16_t port = default_smtp_port;
  smtp::TlsMode tls = smtp::TlsMode::Implicit;
};
[[nodiscard]] SmtpEndpoint smtp_endpoint(const AccountSettings& settings);

// Login and secret of a credential, for the SMTP client.
[[nodiscard]] smtp::Credentials smtp_credentials(const Credential& credential);

// The mechanisms offered for a credential, in order of preference: PLAIN
// then LOGIN for a password, XOAUTH2 alone for an access token.
[[nodiscard]] std::vector<smtp::Mechanism> smtp_mechanisms(const Credential& credential);

// The client settings submission and verification share: greeting name, TLS
// mode of the endpoint, credentials and mechanisms. No transaction.
[[nodiscard]] smtp::ClientOptions smtp_client_options(const SmtpEndpoint& endpoint,
                                                      const Credential& credential);

// The sentence for a failed SMTP conversation.
[[nodiscard]] std::string describe_smtp_failure(const smtp::Client::Failed& failure);

}  // namespace mail
