// Feeds arbitrary server bytes to the SMTP reply parser, whole and in pieces,
// and to the client conversation, which must end in Done or Failed.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "smtp/client.h"
#include "smtp/reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  auto whole = mail::smtp::parse_replies(input);

  // Byte-by-byte feeding must give the same replies.
  mail::smtp::ReplyParser p;
  std::size_t count = 0;
  bool failed = false;
  for (char c : input) {
    p.feed(std::string_view(&c, 1));
    while (auto r = p.next()) {
      if (!*r) {
        failed = true;
        break;
      }
      const auto& reply = **r;
      if (reply.code < 200 || reply.code > 599 || reply.lines.empty()) __builtin_trap();
      (void)reply.to_string();
      (void)mail::smtp::parse_capabilities(reply);
      ++count;
    }
    if (failed) break;
  }
  if (whole && (failed || count != whole->size())) __builtin_trap();

  // The whole input as everything a server says during one submission.
  mail::smtp::ClientOptions o;
  o.tls = mail::smtp::TlsMode::StartTls;
  o.credentials = mail::smtp::Credentials{"user", "secret"};
  o.mechanisms = {mail::smtp::Mechanism::Plain, mail::smtp::Mechanism::Login,
                  mail::smtp::Mechanism::XOAuth2};
  o.envelope = mail::smtp::Envelope{"a@b.c", {"d@e.f", "g@h.i"}};
  o.message = "Subject: x\r\n\r\n.body\r\n";
  o.noop = true;
  mail::smtp::Client client(o);
  client.receive(input);
  client.closed();
  for (int i = 0; i < 10000; ++i) {
    auto step = client.next();
    if (std::holds_alternative<mail::smtp::Client::StartTls>(step)) {
      client.tls_ready();
    } else if (std::holds_alternative<mail::smtp::Client::Done>(step) ||
               std::holds_alternative<mail::smtp::Client::Failed>(step)) {
      return 0;
    }
  }
  __builtin_trap();  // the conversation must end
}
