#include "server_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <utility>

namespace testsupport {

std::expected<ServerProcess, std::string> ServerProcess::start_python(std::vector<std::string> args) {
  int in_pipe[2], out_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0) return std::unexpected("pipe failed");
  if (pipe2(out_pipe, O_CLOEXEC) != 0) {
    close(in_pipe[0]);
    close(in_pipe[1]);
    return std::unexpected("pipe failed");
  }
  args.insert(args.begin(), "python3");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return std::unexpected("fork failed");
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    execv("/usr/bin/python3", argv.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  ServerProcess process;
  process.pid_ = pid;
  process.stdin_fd_ = in_pipe[1];

  std::string line;
  char c;
  while (read(out_pipe[0], &c, 1) == 1 && c != '\n') line.push_back(c);
  close(out_pipe[0]);
  process.info_ = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
  if (!process.info_.is_object()) {
    return std::unexpected(args.size() > 1 ? args[1] + " did not start (" + line + ")"
                                           : "server did not start");
  }
  return process;
}

ServerProcess::ServerProcess(ServerProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      stdin_fd_(std::exchange(other.stdin_fd_, -1)),
      info_(std::move(other.info_)) {}

ServerProcess& ServerProcess::operator=(ServerProcess&& other) noexcept {
  if (this != &other) {
    stop();
    pid_ = std::exchange(other.pid_, -1);
    stdin_fd_ = std::exchange(other.stdin_fd_, -1);
    info_ = std::move(other.info_);
  }
  return *this;
}

ServerProcess::~ServerProcess() { stop(); }

void ServerProcess::stop() {
  if (stdin_fd_ >= 0) close(std::exchange(stdin_fd_, -1));  // the script stops on end of input
  if (pid_ <= 0) return;
  const pid_t pid = std::exchange(pid_, -1);
  int status = 0;
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid, &status, WNOHANG) == pid) return;
    usleep(50'000);
  }
  kill(pid, SIGTERM);
  waitpid(pid, &status, 0);
}

}  // namespace testsupport
