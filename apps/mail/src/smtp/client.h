#pragma once
// The SMTP client conversation without any I/O (RFC 5321, 3207, 4954, 4616).
//
// The caller owns the connection. It asks `next()` what to do — write some
// bytes, read more, start TLS — and reports what happened with `receive`,
// `tls_ready` and `closed`, until `next()` answers Done or Failed:
//
//   for (;;) {
//     auto step = client.next();
//     if (auto* w = std::get_if<Client::Write>(&step)) write(w->bytes);
//     else if (std::holds_alternative<Client::Read>(step)) client.receive(read_some());
//     else if (std::holds_alternative<Client::StartTls>(step)) { handshake(); client.tls_ready(); }
//     else break;  // Done or Failed
//   }
//
// One conversation: greeting, EHLO, STARTTLS (when required) and EHLO again,
// AUTH with the first acceptable mechanism the server offers, then at most one
// mail transaction (MAIL FROM, RCPT TO for every recipient, DATA), an
// optional NOOP, and QUIT.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "smtp/reply.h"

namespace mail::smtp {

enum class TlsMode {
  Implicit,  // the caller started TLS before the first byte
  StartTls,  // STARTTLS is required; a server that does not offer it fails
};

enum class Mechanism { Plain, Login, XOAuth2 };

[[nodiscard]] std::string_view mechanism_name(Mechanism m);

struct Credentials {
  std::string login;
  std::string secret;  // password, or access token for XOAUTH2
};

struct Envelope {
  std::string sender;
  std::vector<std::string> recipients;
};

// What the server said it supports in its EHLO reply (RFC 5321 §4.1.1.1).
struct Capabilities {
  std::set<std::string> keywords;           // upper-cased: "STARTTLS", "PIPELINING" …
  std::set<std::string> auth_mechanisms;    // upper-cased, from "AUTH …" and "AUTH=…"
  std::optional<std::uint64_t> size_limit;  // "SIZE n" with n > 0

  [[nodiscard]] bool has(std::string_view keyword) const;
  [[nodiscard]] bool offers(Mechanism m) const;
};

[[nodiscard]] Capabilities parse_capabilities(const Reply& ehlo_reply);

// Rewrites a message for DATA: every line end becomes CRLF (a bare CR or LF
// included), a line that starts with "." gets another ".", and the end of
// data ".\r\n" follows a final CRLF. Works on pieces; call finish() once.
class DataEncoder {
 public:
  void encode(std::string_view in, std::string& out);
  void finish(std::string& out);

 private:
  bool line_start_ = true;
  bool pending_cr_ = false;
};

// The whole DATA payload for a message, for tests and one-shot use.
[[nodiscard]] std::string encode_data(std::string_view message);

struct ClientOptions {
  std::string helo_name = "localhost";
  TlsMode tls = TlsMode::StartTls;
  std::optional<Credentials> credentials;
  // In order of preference; the first one the server offers is used. When
  // there are credentials and none is offered the conversation fails.
  std::vector<Mechanism> mechanisms;
  std::optional<Envelope> envelope;  // the mail transaction, if any
  std::string_view message;          // not owned; sent with DATA
  bool noop = false;                 // send NOOP after authentication
  bool quit_must_succeed = false;    // a failed QUIT fails the conversation
};

class Client {
 public:
  struct Write {
    std::string bytes;
  };
  struct Read {};
  struct StartTls {};
  struct Done {
    bool noop_accepted = true;
  };
  // Failures the caller may want to word differently from their text.
  enum class FailureKind {
    Other,
    StartTlsNotOffered,  // STARTTLS was required and the EHLO reply lacks it
  };
  struct Failed {
    std::string error;
    FailureKind kind = FailureKind::Other;
  };
  using Step = std::variant<Write, Read, StartTls, Done, Failed>;

  explicit Client(ClientOptions options);

  [[nodiscard]] Step next();
  void receive(std::string_view bytes);
  void tls_ready();
  void closed();

  [[nodiscard]] const Capabilities& capabilities() const { return caps_; }
  // The mechanism used to authenticate, once chosen.
  [[nodiscard]] std::optional<Mechanism> mechanism() const { return chosen_; }
  // Bytes of the message body handed out for DATA so far (after encoding).
  [[nodiscard]] std::uint64_t data_bytes_written() const { return data_written_; }

 private:
  enum class State {
    Greeting,
    Ehlo,
    StartTlsReply,
    AwaitTls,
    EhloTls,
    AuthPlain,
    AuthLoginUser,
    AuthLoginPass,
    AuthLoginDone,
    AuthXOAuth2,
    AuthXOAuth2Error,
    MailFrom,
    RcptTo,
    Data,
    Body,
    DataEnd,
    Noop,
    Quit,
    Done,
    Failed,
  };

  void on_reply(const Reply& reply);
  // on_reply's phases, each for the states named in its definition.
  void on_opening_reply(const Reply& reply);
  void on_auth_reply(const Reply& reply);
  void on_transaction_reply(const Reply& reply);
  void on_closing_reply(const Reply& reply);
  void fail(std::string text, FailureKind kind = FailureKind::Other);
  void send_command(std::string line);  // appends CRLF
  void after_ehlo(const Reply& reply);
  void start_auth();
  void after_auth();
  void start_transaction();
  void send_rcpt();
  void after_transaction();
  void send_quit();

  ClientOptions opt_;
  State state_ = State::Greeting;
  ReplyParser parser_;
  std::string out_;
  Capabilities caps_;
  std::optional<Mechanism> chosen_;
  std::size_t rcpt_index_ = 0;
  std::size_t body_pos_ = 0;
  DataEncoder encoder_;
  std::uint64_t data_written_ = 0;
  bool noop_accepted_ = true;
  bool closed_ = false;
  std::string error_;
  FailureKind failure_kind_ = FailureKind::Other;
};

}  // namespace mail::smtp
