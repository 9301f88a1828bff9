#include "accounts/secret_vault.h"

#include "accounts/config_root.h"
#include "accounts/locked_json.h"

namespace accounts::vault {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::map<std::string, Secret> secrets_from(const json& doc) {
  std::map<std::string, Secret> out;
  auto all = doc.find("secrets");
  if (all == doc.end() || !all->is_object()) return out;
  for (auto it = all->begin(); it != all->end(); ++it) {
    const json& v = it.value();
    if (!v.is_object()) continue;
    auto pw = v.find("password");
    if (pw == v.end() || !pw->is_string()) continue;
    Secret s;
    s.password = pw->get<std::string>();
    if (auto tok = v.find("token"); tok != v.end() && tok->is_string()) {
      s.token = tok->get<std::string>();
    }
    out.emplace(it.key(), std::move(s));
  }
  return out;
}

json secret_to_json(const Secret& s) {
  json j = json::object();
  j["password"] = s.password;
  if (s.token) j["token"] = *s.token;
  return j;
}

}  // namespace

fs::path SecretVault::file_in(const fs::path& dir) { return dir / "secrets" / "vault.json"; }

SecretVault SecretVault::open() {
  if (auto root = config_root()) return open_in(*root);
  return SecretVault{};
}

SecretVault SecretVault::open_in(const fs::path& dir) {
  SecretVault v;
  v.dir_ = dir;
  v.secrets_ = secrets_from(detail::read_document(file_in(dir)));
  return v;
}

std::optional<Secret> SecretVault::get(const std::string& key) const {
  auto it = secrets_.find(key);
  if (it == secrets_.end()) return std::nullopt;
  return it->second;
}

void SecretVault::put(const std::string& key, Secret secret) {
  secrets_[key] = secret;
  pending_.push_back(Put{key, std::move(secret)});
}

void SecretVault::remove(const std::string& key) {
  secrets_.erase(key);
  pending_.push_back(Remove{key});
}

std::expected<void, std::string> SecretVault::try_save() {
  if (!dir_) return {};
  json merged;
  auto result = detail::update_document({file_in(*dir_), true}, [&](json& doc) {
    json& all = doc["secrets"];
    if (!all.is_object()) all = json::object();
    for (const Change& c : pending_) {
      if (const auto* put = std::get_if<Put>(&c)) {
        all[put->key] = secret_to_json(put->secret);
      } else if (const auto* rm = std::get_if<Remove>(&c)) {
        all.erase(rm->key);
      }
    }
    merged = doc;
  });
  if (!result) return result;
  pending_.clear();
  secrets_ = secrets_from(merged);
  return {};
}

}  // namespace accounts::vault
