#pragma once
// Reading ACCOUNT.json for the send and verify commands: a settings document
// (the stored keys of an account) with an optional "password" key, which is
// kept in memory only.

#include <expected>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "state/account_settings.h"

namespace cli {

inline std::expected<mail::AccountSettings, std::string> read_account_file(
    const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::unexpected("cannot open " + path);
  std::ostringstream buf;
  buf << in.rdbuf();
  auto stored = mail::read_settings_document_text(buf.str());
  if (!stored) return std::unexpected(stored.error());
  mail::AccountSettings settings = stored->settings;
  auto j = nlohmann::json::parse(buf.str(), nullptr, false);
  if (j.is_object() && j.contains("password")) {
    if (!j["password"].is_string())
      return std::unexpected(std::string("\"password\" must be a string"));
    settings.password = j["password"].get<std::string>();
  }
  return settings;
}

}  // namespace cli
