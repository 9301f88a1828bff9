#pragma once
// Starts tests/servers/https_server.py on 127.0.0.1 for one test and stops it
// again. Header-only; include from test code.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace testsupport {

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh temporary folder, removed on destruction.
class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "zarn-mail-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

class HttpsServer {
 public:
  // `config` is the routes document described in https_server.py; `names`
  // are the host names its certificate covers (127.0.0.1 always is).
  HttpsServer(const nlohmann::json& config, const std::vector<std::string>& names = {}) {
    const auto config_path = dir_.path() / "routes.json";
    std::ofstream(config_path) << config.dump();
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<std::string> args = {
        "python3",  std::string(ZARN_SOURCE_DIR) + "/tests/servers/https_server.py",
        "--dir",    dir_.path().string(),
        "--config", config_path.string()};
    for (const auto& n : names) {
      args.push_back("--name");
      args.push_back(n);
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = ::posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
      ::close(out[0]);
      throw std::runtime_error("could not start https_server.py");
    }
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{out[0], POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buf[256];
      const ssize_t n = ::read(out[0], buf, sizeof buf);
      if (n <= 0) break;
      line.append(buf, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    std::istringstream in(line);
    std::string ready, ca;
    in >> ready >> port_ >> ca;
    if (ready != "READY") {
      stop();
      throw std::runtime_error("https_server.py did not start: " + line);
    }
    ca_pem_ = read_file(ca);
  }
  ~HttpsServer() { stop(); }
  HttpsServer(const HttpsServer&) = delete;
  HttpsServer& operator=(const HttpsServer&) = delete;

  int port() const { return port_; }
  const std::string& ca_pem() const { return ca_pem_; }
  std::string url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + path;
  }
  // Routes every name and port to this server (libcurl CONNECT_TO form).
  std::string connect_all() const { return "::127.0.0.1:" + std::to_string(port_); }
  std::filesystem::path ca_file() const { return dir_.path() / "ca.pem"; }

  // Every request received so far, in order.
  std::vector<nlohmann::json> requests() const {
    std::vector<nlohmann::json> out;
    std::istringstream in(read_file(dir_.path() / "requests.jsonl"));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty()) out.push_back(nlohmann::json::parse(line));
    }
    return out;
  }

 private:
  void stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
    }
  }

  TempDir dir_;
  pid_t pid_ = -1;
  int port_ = 0;
  std::string ca_pem_;
};

}  // namespace testsupport
