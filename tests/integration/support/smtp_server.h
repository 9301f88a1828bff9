#pragma once
// Starts tests/servers/smtp_server.py for one test and stops it when dropped:
// a throwaway SMTP server on 127.0.0.1 with an implicit-TLS port, a STARTTLS
// port, a per-run CA and a folder of captured messages.
//
//   auto server = testsupport::SmtpServer::start({.auth = "LOGIN"});
//   ASSERT_TRUE(server) << server.error();
//   server->implicit_port(); server->starttls_port(); server->messages();

#include <sys/types.h>

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server_process.h"

namespace testsupport {

struct SmtpServerOptions {
  std::string auth = "LOGIN,PLAIN,XOAUTH2";  // mechanisms offered
  bool starttls = true;                      // the plain port offers STARTTLS
  std::uint16_t implicit_port = 0;           // 0: a free port
  std::uint16_t starttls_port = 0;           // 0: a free port
  bool no_implicit = false;
  bool no_starttls_port = false;
  std::string user = "alice@example.org";
  std::string password = "correct horse battery";
  std::string token = "smtp-access-token";
  bool capture = true;  // keep accepted messages (benchmarks turn it off)
};

struct CapturedMessage {
  std::string mail_from;
  std::vector<std::string> rcpt_tos;
  std::string data;       // as received, dot-stuffing removed
  std::string auth;       // the user that authenticated
  std::string mechanism;  // how: "PLAIN", "LOGIN" or "XOAUTH2"
};

class SmtpServer {
 public:
  static std::expected<std::unique_ptr<SmtpServer>, std::string> start(
      SmtpServerOptions options = {});
  SmtpServer(const SmtpServer&) = delete;
  SmtpServer& operator=(const SmtpServer&) = delete;

  std::uint16_t implicit_port() const { return implicit_port_; }
  std::uint16_t starttls_port() const { return starttls_port_; }
  const std::string& ca_file() const { return ca_file_; }
  const SmtpServerOptions& options() const { return options_; }

  // Every message accepted so far, in order.
  std::vector<CapturedMessage> messages() const;

 private:
  SmtpServer() = default;
  SmtpServerOptions options_;
  std::optional<ServerProcess> process_;
  std::uint16_t implicit_port_ = 0, starttls_port_ = 0;
  std::string ca_file_, capture_dir_;
};

// Writes the concatenation of PEM files to `out` (one trust file for
// ZARN_MAIL_EXTRA_CA_FILE when a test talks to several servers).
bool combine_pem(const std::vector<std::string>& files, const std::string& out);

}  // namespace testsupport
