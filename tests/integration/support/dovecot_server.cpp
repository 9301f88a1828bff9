#include "dovecot_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#ifndef ZARN_SOURCE_DIR
#error "ZARN_SOURCE_DIR must name the source tree"
#endif

namespace testsupport {

std::expected<std::unique_ptr<DovecotServer>, std::string> DovecotServer::start(
    DovecotOptions options) {
  int in_pipe[2], out_pipe[2];
  if (pipe(in_pipe) != 0) return std::unexpected("pipe failed");
  if (pipe(out_pipe) != 0) {
    close(in_pipe[0]);
    close(in_pipe[1]);
    return std::unexpected("pipe failed");
  }
  const std::string script = std::string(ZARN_SOURCE_DIR) + "/tests/servers/dovecot.py";
  pid_t pid = fork();
  if (pid < 0) return std::unexpected("fork failed");
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    close(in_pipe[0]);
    close(in_pipe[1]);
    close(out_pipe[0]);
    close(out_pipe[1]);
    execl("/usr/bin/python3", "python3", script.c_str(), "--user", options.user.c_str(),
          "--password", options.password.c_str(), "--token", options.token.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  auto server = std::unique_ptr<DovecotServer>(new DovecotServer());
  server->options_ = std::move(options);
  server->pid_ = pid;
  server->stdin_fd_ = in_pipe[1];

  std::string line;
  char c;
  while (read(out_pipe[0], &c, 1) == 1 && c != '\n') line.push_back(c);
  close(out_pipe[0]);
  try {
    auto j = nlohmann::json::parse(line);
    server->port_ = j.at("port").get<std::uint16_t>();
    server->ca_file_ = j.at("ca_file").get<std::string>();
    server->dir_ = j.at("dir").get<std::string>();
    server->log_ = j.at("log").get<std::string>();
  } catch (const std::exception& e) {
    return std::unexpected("dovecot test server did not start (" + line + ")");
  }
  return server;
}

DovecotServer::~DovecotServer() {
  if (stdin_fd_ >= 0) close(stdin_fd_);  // the script stops on end of input
  if (pid_ > 0) {
    int status = 0;
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) return;
      usleep(50'000);
    }
    kill(pid_, SIGTERM);
    waitpid(pid_, &status, 0);
  }
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
