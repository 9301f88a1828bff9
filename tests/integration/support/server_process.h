#pragma once
// A throwaway test server run as a child script: it prints one JSON line
// describing itself (ports, CA file, folders) and stops when its standard
// input closes.

#include <sys/types.h>

#include <expected>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace testsupport {

class ServerProcess {
 public:
  // Runs /usr/bin/python3 with `args` (the script and its options) and reads
  // its first output line as JSON.
  static std::expected<ServerProcess, std::string> start_python(std::vector<std::string> args);

  ServerProcess(ServerProcess&& other) noexcept;
  ServerProcess& operator=(ServerProcess&& other) noexcept;
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;
  // Closes the script's input, waits up to 5 s, then ends it with SIGTERM.
  ~ServerProcess();

  const nlohmann::json& info() const { return info_; }

 private:
  ServerProcess() = default;
  void stop();
  pid_t pid_ = -1;
  int stdin_fd_ = -1;
  nlohmann::json info_;
};

}  // namespace testsupport
