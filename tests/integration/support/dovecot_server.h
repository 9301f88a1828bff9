#pragma once
// Starts tests/servers/dovecot.py for one test and stops it when dropped:
// a throwaway IMAPS server on 127.0.0.1, its own free port, a per-run CA.
//
//   auto server = testsupport::DovecotServer::start();
//   ASSERT_TRUE(server) << server.error();
//   server->port(); server->ca_file(); server->user(); server->password();

#include <sys/types.h>

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>

#include "server_process.h"

namespace testsupport {

struct DovecotOptions {
  std::string user = "alice";
  std::string password = "correct horse battery";
  std::string token = "test-access-token";  // accepted by AUTHENTICATE XOAUTH2
};

class DovecotServer {
 public:
  static std::expected<std::unique_ptr<DovecotServer>, std::string> start(
      DovecotOptions options = {});
  DovecotServer(const DovecotServer&) = delete;
  DovecotServer& operator=(const DovecotServer&) = delete;

  std::uint16_t port() const { return port_; }
  const std::string& ca_file() const { return ca_file_; }  // PEM of the per-run CA
  const std::string& user() const { return options_.user; }
  const std::string& password() const { return options_.password; }
  const std::string& token() const { return options_.token; }
  const std::string& dir() const { return dir_; }
  const std::string& log_file() const { return log_; }

 private:
  DovecotServer() = default;
  DovecotOptions options_;
  std::optional<ServerProcess> process_;
  std::uint16_t port_ = 0;
  std::string ca_file_, dir_, log_;
};

// Starts tests/servers/stalling_imap.py for one test: an IMAPS server on
// 127.0.0.1 under a per-run CA that accepts any log-in and then answers every
// command by dripping a byte at a time, or by untagged lines without end.
class StallingImapServer {
 public:
  enum class Mode { Drip, Flood };
  static std::expected<std::unique_ptr<StallingImapServer>, std::string> start(Mode mode);
  StallingImapServer(const StallingImapServer&) = delete;
  StallingImapServer& operator=(const StallingImapServer&) = delete;

  std::uint16_t port() const { return port_; }
  const std::string& ca_file() const { return ca_file_; }

 private:
  StallingImapServer() = default;
  std::optional<ServerProcess> process_;
  std::uint16_t port_ = 0;
  std::string ca_file_;
};

// A TCP listener on 127.0.0.1 that accepts connections and never sends a
// byte: a server that stops answering.
class SilentServer {
 public:
  SilentServer();
  ~SilentServer();
  std::uint16_t port() const { return port_; }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

// A port on 127.0.0.1 where nothing listens (bound once, then released).
std::uint16_t closed_port();

}  // namespace testsupport
