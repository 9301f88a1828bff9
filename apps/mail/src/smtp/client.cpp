#include "smtp/client.h"

#include <algorithm>
#include <charconv>

#include "smtp/address.h"
#include "text_codec/base64.h"
#include "text_codec/sasl.h"

namespace mail::smtp {
namespace {

constexpr std::size_t body_chunk = 256 * 1024;

std::string upper(std::string_view s) {
  std::string out(s);
  for (auto& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::vector<std::string_view> words(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    std::size_t j = i;
    while (j < s.size() && s[j] != ' ' && s[j] != '\t') ++j;
    if (j > i) out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

}  // namespace

std::string_view mechanism_name(Mechanism m) {
  switch (m) {
    case Mechanism::Plain:
      return "PLAIN";
    case Mechanism::Login:
      return "LOGIN";
    case Mechanism::XOAuth2:
      return "XOAUTH2";
  }
  return "";
}

bool Capabilities::has(std::string_view keyword) const {
  return keywords.contains(upper(keyword));
}

bool Capabilities::offers(Mechanism m) const {
  return auth_mechanisms.contains(std::string(mechanism_name(m)));
}

Capabilities parse_capabilities(const Reply& reply) {
  Capabilities caps;
  // The first line is the server's greeting name; extensions follow.
  for (std::size_t i = 1; i < reply.lines.size(); ++i) {
    std::string_view line = reply.lines[i];
    std::string_view keyword = line;
    std::string_view params;
    // NB: some old servers write "AUTH=LOGIN PLAIN"; accept it like "AUTH".
    const std::size_t sep = line.find_first_of(" =");
    if (sep != std::string_view::npos) {
      keyword = line.substr(0, sep);
      params = line.substr(sep + 1);
    }
    const std::string key = upper(keyword);
    if (key.empty()) continue;
    caps.keywords.insert(key);
    if (key == "AUTH") {
      for (auto w : words(params)) caps.auth_mechanisms.insert(upper(w));
    } else if (key == "SIZE") {
      auto ws = words(params);
      if (!ws.empty()) {
        std::uint64_t n = 0;
        auto [p, ec] = std::from_chars(ws[0].data(), ws[0].data() + ws[0].size(), n);
        if (ec == std::errc() && p == ws[0].data() + ws[0].size() && n > 0) caps.size_limit = n;
      }
    }
  }
  return caps;
}

void DataEncoder::encode(std::string_view in, std::string& out) {
  out.reserve(out.size() + in.size() + in.size() / 64 + 8);
  for (char c : in) {
    if (pending_cr_) {
      pending_cr_ = false;
      out += "\r\n";
      line_start_ = true;
      if (c == '\n') continue;  // CR LF: already written
    }
    if (c == '\r') {
      pending_cr_ = true;
      continue;
    }
    if (c == '\n') {
      out += "\r\n";
      line_start_ = true;
      continue;
    }
    if (line_start_ && c == '.') out += '.';
    line_start_ = false;
    out += c;
  }
}

void DataEncoder::finish(std::string& out) {
  if (pending_cr_) {
    pending_cr_ = false;
    out += "\r\n";
    line_start_ = true;
  }
  if (!line_start_) out += "\r\n";
  out += ".\r\n";
  line_start_ = true;
}

std::string encode_data(std::string_view message) {
  DataEncoder e;
  std::string out;
  e.encode(message, out);
  e.finish(out);
  return out;
}

Client::Client(ClientOptions options) : opt_(std::move(options)) {}

void Client::receive(std::string_view bytes) {
  parser_.feed(bytes);
}

void Client::closed() {
  closed_ = true;
}

void Client::fail(std::string text, FailureKind kind) {
  state_ = State::Failed;
  error_ = std::move(text);
  failure_kind_ = kind;
  out_.clear();
}

void Client::send_command(std::string line) {
  out_ += line;
  out_ += "\r\n";
}

void Client::tls_ready() {
  if (state_ != State::AwaitTls) return;
  // RFC 3207 §4.2: forget everything learned before TLS and ask again.
  caps_ = {};
  parser_ = ReplyParser{};
  send_command("EHLO " + opt_.helo_name);
  state_ = State::EhloTls;
}

Client::Step Client::next() {
  for (;;) {
    if (state_ == State::Failed) return Failed{error_, failure_kind_};
    if (!out_.empty()) {
      Write w{std::move(out_)};
      out_.clear();
      return w;
    }
    switch (state_) {
      case State::Done:
        return Done{noop_accepted_};
      case State::AwaitTls:
        return StartTls{};
      case State::Body: {
        const std::string_view msg = opt_.message;
        const std::size_t n = std::min(body_chunk, msg.size() - body_pos_);
        std::string chunk;
        encoder_.encode(msg.substr(body_pos_, n), chunk);
        body_pos_ += n;
        if (body_pos_ == msg.size()) {
          encoder_.finish(chunk);
          state_ = State::DataEnd;
        }
        data_written_ += chunk.size();
        return Write{std::move(chunk)};
      }
      default:
        break;
    }
    auto reply = parser_.next();
    if (!reply) {
      if (closed_ && state_ == State::Quit && !opt_.quit_must_succeed) {
        state_ = State::Done;  // the server hung up instead of answering QUIT
        continue;
      }
      if (closed_) {
        fail("connection closed by the SMTP server");
        continue;
      }
      return Read{};
    }
    if (!*reply) {
      fail(reply->error());
      continue;
    }
    on_reply(**reply);
  }
}

void Client::on_reply(const Reply& r) {
  switch (state_) {
    case State::Greeting:
    case State::Ehlo:
    case State::EhloTls:
    case State::StartTlsReply:
      return on_opening_reply(r);
    case State::AuthPlain:
    case State::AuthLoginUser:
    case State::AuthLoginPass:
    case State::AuthLoginDone:
    case State::AuthXOAuth2:
    case State::AuthXOAuth2Error:
      return on_auth_reply(r);
    case State::MailFrom:
    case State::RcptTo:
    case State::Data:
    case State::DataEnd:
      return on_transaction_reply(r);
    case State::Noop:
    case State::Quit:
      return on_closing_reply(r);
    case State::AwaitTls:
    case State::Body:
    case State::Done:
    case State::Failed:
      break;
  }
  return fail("unexpected SMTP reply: " + r.to_string());
}

// Greeting, EHLO (before and after TLS) and the STARTTLS reply.
void Client::on_opening_reply(const Reply& r) {
  if (state_ == State::Greeting) {
    if (r.code != 220) return fail("SMTP server refused the session: " + r.to_string());
    send_command("EHLO " + opt_.helo_name);
    state_ = State::Ehlo;
    return;
  }
  if (state_ == State::Ehlo || state_ == State::EhloTls) return after_ehlo(r);
  // State::StartTlsReply
  if (r.code != 220) return fail("STARTTLS rejected: " + r.to_string());
  // RFC 3207 §5 and the response-injection attacks: nothing may follow
  // the STARTTLS reply in the clear. Such bytes are an error, never
  // replies to the commands sent over TLS.
  if (parser_.buffered() != 0) {
    return fail("SMTP server sent data after the STARTTLS reply before TLS started");
  }
  state_ = State::AwaitTls;
}

// AUTH PLAIN, LOGIN (user, then password) and XOAUTH2 with its error challenge.
void Client::on_auth_reply(const Reply& r) {
  switch (state_) {
    case State::AuthPlain:
    case State::AuthLoginDone:
      if (r.code != 235) return fail("authentication failed: " + r.to_string());
      return after_auth();
    case State::AuthLoginUser:
      if (r.code != 334) return fail("authentication failed: " + r.to_string());
      send_command(text_codec::base64_encode(opt_.credentials->login));
      state_ = State::AuthLoginPass;
      return;
    case State::AuthLoginPass:
      if (r.code != 334) return fail("authentication failed: " + r.to_string());
      send_command(text_codec::base64_encode(opt_.credentials->secret));
      state_ = State::AuthLoginDone;
      return;
    case State::AuthXOAuth2:
      if (r.code == 235) return after_auth();
      if (r.code == 334) {
        // The server explains the failure in a challenge; an empty answer
        // ends the exchange with the final (negative) reply.
        send_command("");
        state_ = State::AuthXOAuth2Error;
        return;
      }
      return fail("authentication failed: " + r.to_string());
    default:  // State::AuthXOAuth2Error
      return fail("authentication failed: " + r.to_string());
  }
}

// MAIL FROM, each RCPT TO, DATA and the end of the message.
void Client::on_transaction_reply(const Reply& r) {
  switch (state_) {
    case State::MailFrom:
      if (!r.positive()) return fail("sender rejected: " + r.to_string());
      rcpt_index_ = 0;
      return send_rcpt();
    case State::RcptTo:
      if (!r.positive()) {
        return fail("recipient " + opt_.envelope->recipients[rcpt_index_] +
                    " rejected: " + r.to_string());
      }
      ++rcpt_index_;
      if (rcpt_index_ < opt_.envelope->recipients.size()) return send_rcpt();
      send_command("DATA");
      state_ = State::Data;
      return;
    case State::Data:
      if (r.code != 354) return fail("DATA rejected: " + r.to_string());
      body_pos_ = 0;
      encoder_ = DataEncoder{};
      state_ = State::Body;
      return;
    default:  // State::DataEnd
      if (!r.positive()) return fail("message rejected: " + r.to_string());
      return after_transaction();
  }
}

// NOOP (a verification's last check) and QUIT.
void Client::on_closing_reply(const Reply& r) {
  if (state_ == State::Noop) {
    if (!r.positive()) noop_accepted_ = false;
    return send_quit();
  }
  if (!r.positive() && opt_.quit_must_succeed) return fail("QUIT failed: " + r.to_string());
  state_ = State::Done;
}

void Client::after_ehlo(const Reply& r) {
  if (!r.positive()) return fail("EHLO rejected: " + r.to_string());
  caps_ = parse_capabilities(r);
  if (state_ == State::Ehlo && opt_.tls == TlsMode::StartTls) {
    if (!caps_.has("STARTTLS")) {
      return fail("SMTP server does not offer STARTTLS", FailureKind::StartTlsNotOffered);
    }
    send_command("STARTTLS");
    state_ = State::StartTlsReply;
    return;
  }
  start_auth();
}

void Client::start_auth() {
  if (!opt_.credentials) return after_auth();
  for (Mechanism m : opt_.mechanisms) {
    if (caps_.offers(m)) {
      chosen_ = m;
      break;
    }
  }
  if (!chosen_) return fail("No compatible authentication mechanism was found");
  const auto& c = *opt_.credentials;
  switch (*chosen_) {
    case Mechanism::Plain:
      send_command("AUTH PLAIN " + text_codec::plain_initial_response(c.login, c.secret));
      state_ = State::AuthPlain;
      return;
    case Mechanism::Login:
      send_command("AUTH LOGIN");
      state_ = State::AuthLoginUser;
      return;
    case Mechanism::XOAuth2:
      send_command("AUTH XOAUTH2 " + text_codec::xoauth2_initial_response(c.login, c.secret));
      state_ = State::AuthXOAuth2;
      return;
  }
}

void Client::after_auth() {
  if (opt_.envelope) return start_transaction();
  after_transaction();
}

void Client::start_transaction() {
  const auto& env = *opt_.envelope;
  auto sender = parse_plain_address(env.sender);
  if (!sender) return fail("invalid sender address: " + sender.error());
  if (env.recipients.empty()) return fail("no recipients");
  for (const auto& rcpt : env.recipients) {
    if (auto ok = parse_plain_address(rcpt); !ok) {
      return fail("invalid recipient address: " + ok.error());
    }
  }
  // An estimate of the size on the wire (RFC 1870 §6): dot-stuffing and line
  // ends can only add bytes, so the raw length is a lower bound.
  if (caps_.size_limit && opt_.message.size() > *caps_.size_limit) {
    return fail("message of " + std::to_string(opt_.message.size()) +
                " bytes is larger than the SMTP server accepts (" +
                std::to_string(*caps_.size_limit) + " bytes)");
  }
  std::string cmd = "MAIL FROM:<" + *sender + ">";
  if (caps_.has("SIZE")) cmd += " SIZE=" + std::to_string(opt_.message.size());
  send_command(std::move(cmd));
  state_ = State::MailFrom;
}

void Client::send_rcpt() {
  send_command("RCPT TO:<" + opt_.envelope->recipients[rcpt_index_] + ">");
  state_ = State::RcptTo;
}

void Client::after_transaction() {
  if (opt_.noop) {
    send_command("NOOP");
    state_ = State::Noop;
    return;
  }
  send_quit();
}

void Client::send_quit() {
  send_command("QUIT");
  state_ = State::Quit;
}

}  // namespace mail::smtp
