// zarn-mail-cli verify ACCOUNT.json: tries the account against its IMAP and
// SMTP servers as the setup sheet does and prints "verified" or the failure.
//   exit 0: verified; 1: failed; 2: usage or unreadable account.

#include "verify/verify.h"

#include <atomic>
#include <iostream>

#include "account_file.h"
#include "command.h"

namespace {

int run_verify(std::span<const std::string> args) {
  if (args.size() != 1) {
    std::cerr << "usage: zarn-mail-cli verify ACCOUNT.json\n";
    return 2;
  }
  auto account = cli::read_account_file(args[0]);
  if (!account) {
    std::cerr << account.error() << "\n";
    return 2;
  }
  std::atomic<bool> cancel{false};
  const mail::VerifyOutcome outcome = mail::verify_account(*account, cancel);
  if (!outcome) {
    std::cout << mail::verification_no_result << "\n";
    return 1;
  }
  if (!*outcome) {
    std::cout << outcome->error() << "\n";
    return 1;
  }
  std::cout << "verified\n";
  return 0;
}

const cli::Registration reg{"verify", "verify ACCOUNT.json", run_verify};

}  // namespace
