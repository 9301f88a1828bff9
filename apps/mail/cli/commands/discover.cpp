// zarn-mail-cli discover EMAIL
// Finds server settings for an address the way the setup sheet does: the
// built-in provider table first, then the network lookup. Prints one JSON
// object; when nothing was found it prints the fallback guess for the domain
// with "guess": true.
#include "autoconfig/discover.h"

#include <atomic>
#include <iostream>
#include <nlohmann/json.hpp>

#include "autoconfig/apply.h"
#include "command.h"

namespace {

using nlohmann::ordered_json;

ordered_json settings_json(const mail::ProviderSettings& p, bool guess) {
  ordered_json j;
  j["imap_host"] = p.imap_host;
  j["smtp_host"] = p.smtp_host;
  j["name"] = p.name ? ordered_json(*p.name) : ordered_json(nullptr);
  j["imap_port"] = p.imap_port;
  j["smtp_port"] = p.smtp_port;
  j["imap_tls"] = p.imap_tls;
  j["smtp_tls"] = p.smtp_tls;
  j["oauth_capable"] = p.oauth_capable;
  j["guess"] = guess;
  return j;
}

int run_discover(std::span<const std::string> args) {
  if (args.size() != 1) {
    std::cerr << "usage: zarn-mail-cli discover EMAIL\n";
    return 2;
  }
  const std::string& email = args[0];
  const auto at = email.find('@');
  if (at == std::string::npos) {
    std::cerr << "zarn-mail-cli: not an email address: " << email << "\n";
    return 2;
  }
  std::optional<mail::ProviderSettings> found = mail::known_provider(email.substr(at + 1));
  if (!found) {
    std::atomic<bool> cancel{false};
    found = mail::discover(email, cancel);
  }
  if (found) {
    std::cout << settings_json(*found, false).dump(2) << "\n";
    return 0;
  }
  mail::AccountSettings settings;
  settings.email = email;
  mail::guess_servers(settings);
  mail::ProviderSettings guess;
  guess.imap_host = settings.imap_host;
  guess.smtp_host = settings.smtp_host;
  guess.imap_port = settings.imap_port;
  guess.smtp_port = settings.smtp_port;
  guess.imap_tls = settings.imap_tls;
  guess.smtp_tls = settings.smtp_tls;
  std::cout << settings_json(guess, true).dump(2) << "\n";
  return 0;
}

const cli::Registration reg{"discover", "discover EMAIL", run_discover};

}  // namespace
