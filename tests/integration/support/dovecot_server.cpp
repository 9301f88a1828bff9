#include "dovecot_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#ifndef ZARN_SOURCE_DIR
#error "ZARN_SOURCE_DIR must name the source tree"
#endif

namespace testsupport {

std::expected<std::unique_ptr<DovecotServer>, std::string> DovecotServer::start(
    DovecotOptions options) {
  auto process = ServerProcess::start_python(
      {std::string(ZARN_SOURCE_DIR) + "/tests/servers/dovecot.py", "--user", options.user,
       "--password", options.password, "--token", options.token});
  if (!process) return std::unexpected(process.error());
  auto server = std::unique_ptr<DovecotServer>(new DovecotServer());
  server->options_ = std::move(options);
  try {
    const auto& j = process->info();
    server->port_ = j.at("port").get<std::uint16_t>();
    server->ca_file_ = j.at("ca_file").get<std::string>();
    server->dir_ = j.at("dir").get<std::string>();
    server->log_ = j.at("log").get<std::string>();
  } catch (const std::exception&) {
    return std::unexpected("dovecot test server did not start (" + process->info().dump() + ")");
  }
  server->process_ = std::move(*process);
  return server;
}

std::expected<std::unique_ptr<StallingImapServer>, std::string> StallingImapServer::start(
    Mode mode) {
  auto process =
      ServerProcess::start_python({std::string(ZARN_SOURCE_DIR) + "/tests/servers/stalling_imap.py",
                                   "--mode", mode == Mode::Drip ? "drip" : "flood"});
  if (!process) return std::unexpected(process.error());
  auto server = std::unique_ptr<StallingImapServer>(new StallingImapServer());
  try {
    server->port_ = process->info().at("port").get<std::uint16_t>();
    server->ca_file_ = process->info().at("ca_file").get<std::string>();
  } catch (const std::exception&) {
    return std::unexpected("stalling IMAP server did not start (" + process->info().dump() + ")");
  }
  server->process_ = std::move(*process);
  return server;
}

namespace {
int listen_loopback(std::uint16_t& port, bool do_listen) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return -1;
  if (do_listen && listen(fd, 16) != 0) return -1;
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  port = ntohs(addr.sin_port);
  return fd;
}
}  // namespace

SilentServer::SilentServer() {
  fd_ = listen_loopback(port_, true);
}
SilentServer::~SilentServer() {
  if (fd_ >= 0) close(fd_);
}

std::uint16_t closed_port() {
  std::uint16_t port = 0;
  int fd = listen_loopback(port, false);
  if (fd >= 0) close(fd);
  return port;
}

}  // namespace testsupport
