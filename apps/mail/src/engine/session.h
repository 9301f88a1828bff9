#pragma once
// A thin IMAP client session: sends commands from imap/command.h over a
// Transport and reads framed, parsed responses until each command's tagged
// completion. Commands run strictly one after another; the connection state
// is explicit. What one command may accumulate is bounded (SessionLimits).

#include <asio/awaitable.hpp>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/limits.h"
#include "engine/transport.h"
#include "imap/command.h"
#include "imap/framing.h"
#include "imap/response.h"
#include "state/account_settings.h"

namespace mail {

enum class ConnectionState { NotAuthenticated, Authenticated, Selected, LoggedOut, Broken };

class Session {
 public:
  explicit Session(std::unique_ptr<Transport> transport, SessionLimits limits = {});

  [[nodiscard]] ConnectionState state() const { return state_; }

  // The outcome of one command: its tagged completion and the untagged
  // responses that came before it.
  struct Outcome {
    imap::Tagged done;
    std::vector<imap::Response> untagged;
    [[nodiscard]] bool ok() const { return done.status == imap::Status::Ok; }
  };

  // Sends a command and reads to its completion. An error value means the
  // exchange broke (I/O, malformed response, more than limits.command_bytes
  // before the completion); a NO or BAD is an Outcome.
  asio::awaitable<std::expected<Outcome, std::string>> run(imap::Command command);

  // The same, with NO or BAD turned into the error "<VERB> failed: NO text".
  asio::awaitable<std::expected<Outcome, std::string>> run_ok(imap::Command command);

  // LOGIN with a password, AUTHENTICATE XOAUTH2 with an access token.
  asio::awaitable<std::expected<void, std::string>> log_in(const Credential& credential);
  asio::awaitable<std::expected<std::vector<std::string>, std::string>> list(
      std::string_view reference, std::string_view pattern);
  asio::awaitable<std::expected<void, std::string>> select(std::string_view mailbox);
  // The answer's line may be as long as limits.search_line.
  asio::awaitable<std::expected<std::vector<std::uint32_t>, std::string>> uid_search(
      imap::Command command);
  asio::awaitable<std::expected<std::vector<imap::Fetch>, std::string>> uid_fetch(
      std::string_view set, std::string_view items);
  // Sends LOGOUT and reads its answer; errors are of no interest.
  asio::awaitable<void> log_out();

  imap::CommandBuilder& commands() { return commands_; }

  // Text of a rejected command, "<VERB> failed: NO text".
  [[nodiscard]] static std::string rejection(const imap::Command& command,
                                             const imap::Tagged& done);

 private:
  // The next response and the bytes it held on the wire.
  struct Received {
    imap::Response response;
    std::size_t bytes = 0;
  };
  asio::awaitable<std::expected<Received, std::string>> next_response();
  asio::awaitable<std::expected<void, std::string>> send(std::string_view bytes);

  std::unique_ptr<Transport> transport_;
  SessionLimits limits_;
  imap::FrameReader reader_;
  imap::CommandBuilder commands_;
  ConnectionState state_ = ConnectionState::NotAuthenticated;
  std::optional<std::string> bye_;
  std::vector<char> buffer_;
};

}  // namespace mail
