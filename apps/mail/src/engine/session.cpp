#include "engine/session.h"

#include <variant>

namespace mail {

using imap::Response;

namespace {

std::string size_text(std::size_t bytes) {
  if (bytes >= mebibyte && bytes % mebibyte == 0) return std::to_string(bytes / mebibyte) + " MiB";
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes / 1024) + " KiB";
  return std::to_string(bytes) + " bytes";
}

// What holding one parsed response costs besides its bytes, so that a flood
// of tiny lines is bounded as well as a few huge ones.
constexpr std::size_t response_overhead = sizeof(Response);

}  // namespace

Session::Session(std::unique_ptr<Transport> transport, SessionLimits limits)
    : transport_(std::move(transport)),
      limits_(limits),
      reader_(limits.frames),
      buffer_(64 * 1024) {}

std::string Session::rejection(const imap::Command& command, const imap::Tagged& done) {
  std::string out = command.name + " failed: " + std::string(imap::status_name(done.status));
  if (!done.text.empty()) out += " " + done.text;
  return out;
}

asio::awaitable<std::expected<void, std::string>> Session::send(std::string_view bytes) {
  auto r = co_await transport_->write_all(bytes);
  if (!r) state_ = ConnectionState::Broken;
  co_return r;
}

asio::awaitable<std::expected<Session::Received, std::string>> Session::next_response() {
  for (;;) {
    auto frame = reader_.next();
    if (!frame) {
      state_ = ConnectionState::Broken;
      co_return std::unexpected(frame.error());
    }
    if (*frame) {
      const std::size_t bytes = (*frame)->size() + 2;
      auto parsed = imap::parse_response(**frame);
      frame->reset();  // the text is no longer needed once parsed
      if (!parsed) {
        state_ = ConnectionState::Broken;
        co_return std::unexpected(parsed.error());
      }
      if (auto* s = std::get_if<imap::StatusResponse>(&*parsed);
          s && s->status == imap::Status::Bye)
        bye_ = s->text;
      co_return Received{std::move(*parsed), bytes};
    }
    auto n = co_await transport_->read_some(std::span<char>(buffer_.data(), buffer_.size()));
    if (!n) {
      state_ = ConnectionState::Broken;
      // NB: a server that said BYE before closing has told us why.
      if (bye_ && n.error() == closed_by_server)
        co_return std::unexpected(std::string(closed_by_server) + ": " + *bye_);
      co_return std::unexpected(n.error());
    }
    reader_.feed(std::string_view(buffer_.data(), *n));
  }
}

asio::awaitable<std::expected<Session::Outcome, std::string>> Session::run(imap::Command command) {
  if (state_ == ConnectionState::Broken || state_ == ConnectionState::LoggedOut)
    co_return std::unexpected(std::string("the IMAP connection is no longer usable"));
  Outcome out;
  if (auto s = co_await send(command.parts.front()); !s) co_return std::unexpected(s.error());
  std::size_t next_part = 1;
  std::size_t held = 0;
  for (;;) {
    auto received = co_await next_response();
    if (!received) co_return std::unexpected(received.error());
    auto* response = &received->response;
    if (auto* cont = std::get_if<imap::Continuation>(&*response)) {
      (void)cont;
      if (next_part < command.parts.size()) {
        if (auto s = co_await send(command.parts[next_part++]); !s)
          co_return std::unexpected(s.error());
      } else if (command.sasl) {
        // The server's SASL error challenge: an empty response ends the exchange.
        if (auto s = co_await send("\r\n"); !s) co_return std::unexpected(s.error());
      } else {
        state_ = ConnectionState::Broken;
        co_return std::unexpected(std::string("unexpected continuation request from the server"));
      }
      continue;
    }
    if (auto* tagged = std::get_if<imap::Tagged>(&*response)) {
      if (tagged->tag != command.tag) {
        state_ = ConnectionState::Broken;
        co_return std::unexpected("unexpected tagged response " + tagged->tag + " from the server");
      }
      out.done = std::move(*tagged);
      co_return out;
    }
    // NB: a server may send untagged data without end before it completes
    // a command; past the limit the connection is given up.
    held += received->bytes + response_overhead;
    if (held > limits_.command_bytes) {
      state_ = ConnectionState::Broken;
      co_return std::unexpected("the server's answer to " + command.name +
                                " exceeded the limit of " + size_text(limits_.command_bytes));
    }
    out.untagged.push_back(std::move(*response));
  }
}

asio::awaitable<std::expected<Session::Outcome, std::string>> Session::run_ok(
    imap::Command command) {
  const imap::Command copy{command.tag, command.name, {}, command.sasl};
  auto out = co_await run(std::move(command));
  if (out && !out->ok()) co_return std::unexpected(rejection(copy, out->done));
  co_return out;
}

asio::awaitable<std::expected<void, std::string>> Session::log_in(const Credential& credential) {
  imap::Command command;
  if (const auto* p = std::get_if<Credential::Password>(&credential.value)) {
    auto built = commands_.login(p->login, p->password);
    if (!built) co_return std::unexpected("LOGIN failed: " + built.error());
    command = std::move(*built);
  } else {
    const auto& o = std::get<Credential::OAuth>(credential.value);
    command = commands_.authenticate_xoauth2(o.login, o.access_token);
  }
  auto out = co_await run_ok(std::move(command));
  if (!out) co_return std::unexpected(out.error());
  state_ = ConnectionState::Authenticated;
  co_return std::expected<void, std::string>{};
}

asio::awaitable<std::expected<std::vector<std::string>, std::string>> Session::list(
    std::string_view reference, std::string_view pattern) {
  auto out = co_await run_ok(commands_.list(reference, pattern));
  if (!out) co_return std::unexpected(out.error());
  std::vector<std::string> names;
  for (auto& r : out->untagged)
    if (auto* e = std::get_if<imap::ListEntry>(&r)) names.push_back(std::move(e->name));
  co_return names;
}

asio::awaitable<std::expected<void, std::string>> Session::select(std::string_view mailbox) {
  auto out = co_await run_ok(commands_.select(mailbox));
  if (!out) co_return std::unexpected(out.error());
  state_ = ConnectionState::Selected;
  co_return std::expected<void, std::string>{};
}

asio::awaitable<std::expected<std::vector<std::uint32_t>, std::string>> Session::uid_search(
    imap::Command command) {
  // NB: the answer lists every match on one line: millions of UIDs in a
  // large mailbox. Only that line may grow past the ordinary line limit.
  reader_.allow_long_line("* SEARCH", limits_.search_line);
  auto out = co_await run_ok(std::move(command));
  reader_.clear_long_line();
  if (!out) co_return std::unexpected(out.error());
  std::vector<std::uint32_t> uids;
  for (auto& r : out->untagged) {
    auto* s = std::get_if<imap::Search>(&r);
    if (s == nullptr) continue;
    if (uids.empty())
      uids = std::move(s->ids);
    else
      uids.insert(uids.end(), s->ids.begin(), s->ids.end());
  }
  co_return uids;
}

asio::awaitable<std::expected<std::vector<imap::Fetch>, std::string>> Session::uid_fetch(
    std::string_view set, std::string_view items) {
  auto out = co_await run_ok(commands_.uid_fetch(set, items));
  if (!out) co_return std::unexpected(out.error());
  std::vector<imap::Fetch> fetched;
  for (auto& r : out->untagged)
    if (auto* f = std::get_if<imap::Fetch>(&r)) fetched.push_back(std::move(*f));
  co_return fetched;
}

asio::awaitable<void> Session::log_out() {
  if (state_ != ConnectionState::Broken && state_ != ConnectionState::LoggedOut) {
    auto out = co_await run(commands_.logout());
    (void)out;
  }
  state_ = ConnectionState::LoggedOut;
}

}  // namespace mail
