#include "accounts/account_store.h"

#include "accounts/config_root.h"
#include "accounts/locked_json.h"

namespace accounts {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::optional<AccountRecord> record_from_json(const json& j) {
  if (!j.is_object()) return std::nullopt;
  auto id = j.find("id");
  auto type = j.find("type");
  if (id == j.end() || !id->is_string() || type == j.end() || !type->is_string()) {
    return std::nullopt;
  }
  AccountRecord r;
  r.id.value = id->get<std::string>();
  r.type.value = type->get<std::string>();
  if (auto it = j.find("label"); it != j.end() && it->is_string()) r.label = it->get<std::string>();
  if (auto it = j.find("settings"); it != j.end()) r.settings = *it;
  if (auto it = j.find("enabled"); it != j.end() && it->is_boolean()) r.enabled = it->get<bool>();
  if (auto it = j.find("avatar"); it != j.end() && it->is_boolean()) r.avatar = it->get<bool>();
  return r;
}

json record_to_json(const AccountRecord& r) {
  json j = json::object();
  j["id"] = r.id.value;
  j["type"] = r.type.value;
  j["label"] = r.label;
  j["settings"] = r.settings;
  j["enabled"] = r.enabled;
  j["avatar"] = r.avatar;
  return j;
}

json& records_of(json& doc) {
  json& list = doc["accounts"];
  if (!list.is_array()) list = json::array();
  return list;
}

bool has_id(const json& j, const std::string& id) {
  if (!j.is_object()) return false;
  auto it = j.find("id");
  return it != j.end() && it->is_string() && it->get<std::string>() == id;
}

}  // namespace

AccountStore AccountStore::load() {
  AccountStore store;
  if (auto root = config_root()) store.read_from(detail::read_document(*root / file_name));
  return store;
}

AccountStore AccountStore::load_in(const fs::path& dir) {
  AccountStore store;
  store.read_from(detail::read_document(dir / file_name));
  return store;
}

void AccountStore::read_from(const json& doc) {
  doc_ = doc.is_object() ? doc : json::object();
}

std::vector<AccountRecord> AccountStore::list(const AccountTypeId& type) const {
  std::vector<AccountRecord> out;
  auto it = doc_.find("accounts");
  if (it == doc_.end() || !it->is_array()) return out;
  for (const json& j : *it) {
    if (auto r = record_from_json(j); r && r->type == type) out.push_back(std::move(*r));
  }
  return out;
}

std::optional<AccountId> AccountStore::active_id(const AccountTypeId& type) const {
  auto active = doc_.find("active");
  if (active == doc_.end() || !active->is_object()) return std::nullopt;
  auto it = active->find(type.value);
  if (it == active->end() || !it->is_string()) return std::nullopt;
  return AccountId{it->get<std::string>()};
}

void AccountStore::apply(json& doc, const Change& change) {
  if (const auto* up = std::get_if<Upsert>(&change)) {
    json& list = records_of(doc);
    for (json& j : list) {
      if (has_id(j, up->record.id.value)) {
        j = record_to_json(up->record);
        return;
      }
    }
    list.push_back(record_to_json(up->record));
  } else if (const auto* rm = std::get_if<Remove>(&change)) {
    json& list = records_of(doc);
    json kept = json::array();
    for (json& j : list) {
      if (!has_id(j, rm->id.value)) kept.push_back(std::move(j));
    }
    list = std::move(kept);
  } else if (const auto* act = std::get_if<SetActive>(&change)) {
    json& active = doc["active"];
    if (!active.is_object()) active = json::object();
    active[act->type.value] = act->id.value;
  }
}

void AccountStore::record_change(Change change) {
  apply(doc_, change);
  pending_.push_back(std::move(change));
}

void AccountStore::set_active(const AccountTypeId& type, const AccountId& id) {
  record_change(SetActive{type, id});
}

void AccountStore::upsert(AccountRecord record) { record_change(Upsert{std::move(record)}); }

void AccountStore::remove(const AccountId& id) { record_change(Remove{id}); }

std::expected<void, std::string> AccountStore::save_in(const fs::path& dir) {
  json merged;
  auto result = detail::update_document({dir / file_name, false}, [&](json& doc) {
    for (const Change& c : pending_) apply(doc, c);
    merged = doc;
  });
  if (!result) return result;
  pending_.clear();
  read_from(merged);
  return {};
}

}  // namespace accounts
