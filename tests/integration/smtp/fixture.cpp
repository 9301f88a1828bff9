#include "fixture.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace smtptest {

bool rerun_in_own_network() {
  if (std::getenv("ZARN_TEST_OWN_NETNS") != nullptr) return false;
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string(info->test_suite_name()) + "." + info->name();
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  if (std::system("unshare -n true >/dev/null 2>&1") != 0) {
    ADD_FAILURE() << "cannot create a network namespace (unshare -n)";
    return true;
  }
  const std::string cmd = "unshare -n sh -c 'ip link set lo up && ZARN_TEST_OWN_NETNS=1 exec \"" +
                          self + "\" --gtest_filter=" + filter + "'";
  const int status = std::system(cmd.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "inner run failed: " << cmd;
  return true;
}

void trust(const std::string& ca_file) {
  ::setenv("ZARN_MAIL_EXTRA_CA_FILE", ca_file.c_str(), 1);
}

mail::AccountSettings account(std::uint16_t smtp_port, std::string password) {
  mail::AccountSettings s;
  s.display_name = "Alice Example";
  s.email = "alice@example.org";
  s.imap_host = "localhost";
  s.imap_port = 993;
  s.smtp_host = "localhost";
  s.smtp_port = smtp_port;
  s.username = "alice@example.org";
  s.password = std::move(password);
  s.auth = mail::AuthKind::Password;
  return s;
}

}  // namespace smtptest
