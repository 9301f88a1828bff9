#include "submission/submission.h"

#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>
#include <asio/use_future.hpp>

#include "compose/recipients.h"
#include "connection/connection_error.h"
#include "smtp/address.h"
#include "text_codec/ascii.h"
#include "tls/client_context.h"
#include "tls/tls.h"

namespace mail {
namespace {

using text_codec::trim;

}  // namespace

SmtpEndpoint smtp_endpoint(const AccountSettings& settings) {
  SmtpEndpoint e;
  e.host = std::string(trim(settings.smtp_host));
  e.port = settings.smtp_port == 0 ? default_smtp_port : settings.smtp_port;
  // NB: the settings' SMTP TLS switch is not consulted; the port decides.
  e.tls = e.port == 465 ? smtp::TlsMode::Implicit : smtp::TlsMode::StartTls;
  return e;
}

smtp::Credentials smtp_credentials(const Credential& credential) {
  if (auto* p = std::get_if<Credential::Password>(&credential.value))
    return {p->login, p->password};
  const auto& o = std::get<Credential::OAuth>(credential.value);
  return {o.login, o.access_token};
}

std::vector<smtp::Mechanism> smtp_mechanisms(const Credential& credential) {
  if (std::holds_alternative<Credential::OAuth>(credential.value)) {
    return {smtp::Mechanism::XOAuth2};
  }
  // NB: PLAIN first. Servers commonly offer PLAIN alone; LOGIN only where
  // PLAIN is missing.
  return {smtp::Mechanism::Plain, smtp::Mechanism::Login};
}

smtp::ClientOptions smtp_client_options(const SmtpEndpoint& endpoint,
                                        const Credential& credential) {
  smtp::ClientOptions options;
  options.helo_name = smtp::default_helo_name();
  options.tls = endpoint.tls;
  options.credentials = smtp_credentials(credential);
  options.mechanisms = smtp_mechanisms(credential);
  return options;
}

std::string describe_smtp_failure(const smtp::Client::Failed& failure) {
  switch (failure.kind) {
    case smtp::Client::FailureKind::StartTlsNotOffered:
      return describe_connection_error(ConnectionErrorKind::StartTlsNotOffered, failure.error);
    case smtp::Client::FailureKind::Other:
      break;
  }
  return describe_connection_error(failure.error);
}

std::expected<smtp::Envelope, std::string> build_envelope(const AccountSettings& settings,
                                                          const DraftData& draft) {
  smtp::Envelope envelope;
  auto sender = smtp::parse_plain_address(trim(settings.email));
  if (!sender) return std::unexpected("invalid From address: " + sender.error());
  envelope.sender = std::move(*sender);
  for (const std::string* field : {&draft.to, &draft.cc, &draft.bcc}) {
    for (const Address& a : parse_recipients(*field)) {
      if (auto ok = smtp::parse_plain_address(trim(a.email)))
        envelope.recipients.push_back(std::move(*ok));
    }
  }
  if (envelope.recipients.empty()) return std::unexpected(std::string("no valid recipients"));
  return envelope;
}

std::expected<std::uint64_t, std::string> send_message(const AccountSettings& settings,
                                                       const Credential& credential,
                                                       const DraftData& draft,
                                                       std::string_view mime,
                                                       smtp::SessionLimits limits) {
  const SmtpEndpoint endpoint = smtp_endpoint(settings);
  if (endpoint.host.empty()) return std::unexpected(std::string("no SMTP host"));

  // TLS parameters, made afresh for this submission.
  if (auto name = tls::check_server_name(endpoint.host); !name) {
    return std::unexpected(describe_connection_error(name.error()));
  }
  auto context = tls::make_client_context();
  if (!context) return std::unexpected(describe_connection_error(context.error()));

  smtp::ClientOptions options = smtp_client_options(endpoint, credential);
  auto envelope = build_envelope(settings, draft);
  if (!envelope) return std::unexpected(envelope.error());
  options.envelope = std::move(*envelope);
  options.message = mime;

  asio::io_context io(1);
  auto future = asio::co_spawn(
      io, smtp::converse(endpoint.host, endpoint.port, *context, std::move(options), limits),
      asio::use_future);
  io.run();
  std::expected<smtp::Client::Done, smtp::Client::Failed> outcome;
  try {
    outcome = future.get();
  } catch (const std::exception& e) {
    outcome = std::unexpected(smtp::Client::Failed{e.what()});
  }
  if (!outcome) return std::unexpected(describe_smtp_failure(outcome.error()));
  return static_cast<std::uint64_t>(mime.size());
}

}  // namespace mail
