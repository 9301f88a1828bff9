#include "zarn_ui/link.h"

#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace zarn_ui::link {

std::expected<void, std::string> try_os_open(const std::string& url) {
  std::string program = "xdg-open";
  char* argv[] = {program.data(), const_cast<char*>(url.c_str()), nullptr};
  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ);
  if (rc != 0) return std::unexpected(program + ": " + std::strerror(rc));
  // The opener may stay around as long as the browser does; reap it aside.
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return {};
}

}  // namespace zarn_ui::link
