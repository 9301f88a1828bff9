#pragma once
// Account verification before the setup sheet saves an account: an IMAP
// log-in with a select of the inbox, then an SMTP connection with
// authentication, NOOP and QUIT. Each check runs on a single-threaded Asio
// runtime of its own on the calling thread, raced against a time limit and a
// watcher of the cancel flag. Nothing is written anywhere.

#include <atomic>
#include <chrono>
#include <expected>
#include <filesystem>
#include <optional>
#include <string>

#include "state/account_settings.h"

namespace mail {

struct VerifyOptions {
  std::chrono::milliseconds limit{30'000};         // per check
  std::chrono::milliseconds cancel_poll{50};       // how often the cancel flag is read
  std::optional<std::filesystem::path> vault_dir;  // none: the configuration root
};

// Success, an error text, or nothing at all when a check's runtime could not
// be created (the sheet then reports that verification ended without a
// result).
using VerifyOutcome = std::optional<std::expected<void, std::string>>;

inline constexpr std::string_view verification_cancelled = "Account verification cancelled";
inline constexpr std::string_view verification_timed_out = "Account verification timed out";
inline constexpr std::string_view verification_no_result =
    "Account verification ended without a result";

// Errors carry "IMAP login failed: " or "SMTP handshake failed: " in front,
// except cancellation before the start and validation problems.
[[nodiscard]] VerifyOutcome verify_account(const AccountSettings& settings,
                                           const std::atomic<bool>& cancel,
                                           const VerifyOptions& options = {});

[[nodiscard]] VerifyOutcome verify_imap(const AccountSettings& settings,
                                        const std::atomic<bool>& cancel,
                                        const VerifyOptions& options = {});

[[nodiscard]] VerifyOutcome verify_smtp(const AccountSettings& settings,
                                        const std::atomic<bool>& cancel,
                                        const VerifyOptions& options = {});

// (login, password) or (login, stored access token). Never refreshes a token.
[[nodiscard]] std::expected<Credential, std::string> verification_credential(
    const AccountSettings& settings, const VerifyOptions& options = {});

}  // namespace mail
