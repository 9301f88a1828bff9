#pragma once
// Opens the authorization URL with tests/servers/browser_standin.py instead of
// a real browser; the stand-in follows the provider's redirect to the
// loopback listener.

#include <spawn.h>
#include <sys/wait.h>

#include <expected>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace testsupport {

class BrowserStandIn {
 public:
  BrowserStandIn(std::filesystem::path ca_file, std::filesystem::path log, bool favicon = true)
      : ca_(std::move(ca_file)), log_(std::move(log)), favicon_(favicon) {}
  ~BrowserStandIn() { wait(); }

  // Suitable as SignInEndpoints::open_browser; returns at once like xdg-open.
  std::expected<void, std::string> open(const std::string& url) {
    url_ = url;
    std::vector<std::string> args = {
        "python3", std::string(ZARN_SOURCE_DIR) + "/tests/servers/browser_standin.py",
        "--ca",    ca_.string(),
        "--log",   log_.string()};
    if (favicon_) args.push_back("--favicon");
    args.push_back(url);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawnp(&pid_, "python3", nullptr, nullptr, argv.data(), environ) != 0) {
      return std::unexpected(std::string("could not start the browser stand-in"));
    }
    return {};
  }

  void wait() {
    if (pid_ > 0) {
      int status = 0;
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
    }
  }

  const std::string& url() const { return url_; }

 private:
  std::filesystem::path ca_;
  std::filesystem::path log_;
  bool favicon_;
  pid_t pid_ = -1;
  std::string url_;
};

}  // namespace testsupport
