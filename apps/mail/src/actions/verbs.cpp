#include "actions/verbs.h"

#include <array>
#include <cctype>

#include "text_codec/json_read.h"

namespace mail {
using nlohmann::json;
using nlohmann::ordered_json;

namespace {

constexpr std::array<std::string_view, 11> action_names{
    "SetRead",      "SetStarred",   "Move",         "Purge",     "AddLabel",    "RemoveLabel",
    "CreateFolder", "RenameFolder", "DeleteFolder", "SaveDraft", "DiscardDraft"};

constexpr std::array<std::string_view, 12> operation_names{
    "ComposeNew",    "RefreshCurrentFolder", "RevealFolder",   "RevealAccount",
    "RevealMessage", "InspectMessage",       "Reply",          "ReplyAll",
    "Forward",       "RevealDraft",          "SaveAttachment", "PrepareCalendarInvitation"};

template <std::size_t N>
std::string unknown_variant(std::string_view name, const std::array<std::string_view, N>& names) {
  std::string out = "unknown variant `" + std::string(name) + "`, expected one of ";
  for (std::size_t i = 0; i < N; ++i) {
    if (i) out += ", ";
    out += "`" + std::string(names[i]) + "`";
  }
  return out;
}

ordered_json ids_json(const std::vector<std::string>& ids) {
  ordered_json a = ordered_json::array();
  for (const auto& id : ids) a.push_back(id);
  return a;
}

// Externally tagged: {"Name": fields}.
ordered_json tagged(std::string_view name, ordered_json fields) {
  ordered_json j = ordered_json::object();
  j[std::string(name)] = std::move(fields);
  return j;
}

std::string lower_ascii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::expected<std::string, std::string> get_uuid(const json& obj, std::string_view key) {
  auto s = text_codec::json_read::get_string(obj, key);
  if (!s) return s;
  if (!is_uuid_text(*s)) {
    return std::unexpected("invalid value: " + text_codec::json_read::describe(json(*s)) +
                           ", expected a hyphenated UUID");
  }
  return lower_ascii(std::move(*s));
}

std::expected<std::vector<std::string>, std::string> get_ids(const json& obj) {
  if (!obj.is_object()) return std::unexpected(text_codec::json_read::invalid_type(obj, "a map"));
  auto it = obj.find("ids");
  if (it == obj.end()) return std::unexpected(text_codec::json_read::missing_field("ids"));
  if (!it->is_array())
    return std::unexpected(text_codec::json_read::invalid_type(*it, "a sequence"));
  std::vector<std::string> ids;
  ids.reserve(it->size());
  for (const auto& v : *it) {
    auto s = text_codec::json_read::as_string(v);
    if (!s) return std::unexpected(s.error());
    if (!is_uuid_text(*s)) {
      return std::unexpected("invalid value: " + text_codec::json_read::describe(v) +
                             ", expected a hyphenated UUID");
    }
    ids.push_back(lower_ascii(std::move(*s)));
  }
  return ids;
}

// Splits an externally tagged value into its variant name and field value;
// a bare string is a variant without fields (the value is null).
struct Tagged {
  std::string name;
  const json* fields = nullptr;  // null for the bare-string form
};

std::expected<Tagged, std::string> split_tag(const json& j, std::string_view expected) {
  if (j.is_string()) return Tagged{j.get<std::string>(), nullptr};
  if (j.is_object()) {
    if (j.size() != 1) {
      return std::unexpected("invalid length " + std::to_string(j.size()) +
                             ", expected a map with a single key (" + std::string(expected) + ")");
    }
    return Tagged{j.begin().key(), &j.begin().value()};
  }
  return std::unexpected(text_codec::json_read::invalid_type(j, expected));
}

bool is_unit(const Tagged& t) {
  return t.fields == nullptr || t.fields->is_null();
}

std::string expected_struct(std::string_view name) {
  return "invalid type: unit variant, expected struct variant " + std::string(name);
}

std::expected<void, std::string> needs_fields(const Tagged& t, std::string_view owner) {
  if (t.fields == nullptr)
    return std::unexpected(expected_struct(std::string(owner) + "::" + t.name));
  if (!t.fields->is_object()) {
    return std::unexpected(text_codec::json_read::invalid_type(
        *t.fields, "struct variant " + std::string(owner) + "::" + t.name));
  }
  return {};
}

template <class T>
std::expected<T, std::string> unit_only(const Tagged& t, std::string_view owner) {
  if (!is_unit(t)) {
    return std::unexpected(text_codec::json_read::invalid_type(
        *t.fields, "unit variant " + std::string(owner) + "::" + t.name));
  }
  return T{};
}

}  // namespace

bool is_mail_action_name(std::string_view name) {
  for (auto a : action_names) {
    if (a == name) return true;
  }
  return false;
}

bool is_mail_operation_name(std::string_view name) {
  for (auto o : operation_names) {
    if (o == name) return true;
  }
  return false;
}

bool is_uuid_text(std::string_view s) {
  if (s.size() != 36) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash) {
      if (s[i] != '-') return false;
    } else if (!std::isxdigit(static_cast<unsigned char>(s[i]))) {
      return false;
    }
  }
  return true;
}

std::string_view MailAction::name() const {
  return action_names[value.index()];
}
std::string_view MailOperation::name() const {
  return operation_names[value.index()];
}

ordered_json mail_action_to_json(const MailAction& action) {
  const std::string_view name = action.name();
  return std::visit(
      [&](const auto& v) -> ordered_json {
        using T = std::decay_t<decltype(v)>;
        ordered_json f = ordered_json::object();
        if constexpr (std::is_same_v<T, MailAction::SetRead>) {
          f["ids"] = ids_json(v.ids);
          f["read"] = v.read;
        } else if constexpr (std::is_same_v<T, MailAction::SetStarred>) {
          f["ids"] = ids_json(v.ids);
          f["starred"] = v.starred;
        } else if constexpr (std::is_same_v<T, MailAction::Move>) {
          f["ids"] = ids_json(v.ids);
          f["folder"] = v.folder;
        } else if constexpr (std::is_same_v<T, MailAction::Purge>) {
          f["ids"] = ids_json(v.ids);
        } else if constexpr (std::is_same_v<T, MailAction::AddLabel> ||
                             std::is_same_v<T, MailAction::RemoveLabel>) {
          f["ids"] = ids_json(v.ids);
          f["label"] = v.label;
        } else if constexpr (std::is_same_v<T, MailAction::CreateFolder> ||
                             std::is_same_v<T, MailAction::RenameFolder>) {
          f["id"] = v.id;
          f["name"] = v.name;
        } else if constexpr (std::is_same_v<T, MailAction::DeleteFolder>) {
          f["id"] = v.id;
        } else if constexpr (std::is_same_v<T, MailAction::SaveDraft>) {
          f = draft_to_json(v.draft);
        } else {
          static_assert(std::is_same_v<T, MailAction::DiscardDraft>);
          return ordered_json(std::string(name));
        }
        return tagged(name, std::move(f));
      },
      action.value);
}

ordered_json mail_operation_to_json(const MailOperation& operation) {
  const std::string_view name = operation.name();
  return std::visit(
      [&](const auto& v) -> ordered_json {
        using T = std::decay_t<decltype(v)>;
        ordered_json f = ordered_json::object();
        if constexpr (std::is_same_v<T, MailOperation::ComposeNew> ||
                      std::is_same_v<T, MailOperation::RefreshCurrentFolder> ||
                      std::is_same_v<T, MailOperation::RevealDraft>) {
          return ordered_json(std::string(name));
        } else if constexpr (std::is_same_v<T, MailOperation::RevealFolder>) {
          f["folder"] = v.folder;
        } else if constexpr (std::is_same_v<T, MailOperation::SaveAttachment>) {
          f["message_id"] = v.message_id;
          f["index"] = v.index;
        } else if constexpr (std::is_same_v<T, MailOperation::PrepareCalendarInvitation>) {
          f["to"] = v.to;
          f["subject"] = v.subject;
          f["body"] = v.body;
          f["calendar_ics"] = v.calendar_ics;
        } else {
          f["id"] = v.id;
        }
        return tagged(name, std::move(f));
      },
      operation.value);
}

// Texts held in std::string may not be valid UTF-8; the replacement character
// stands in for invalid bytes so that encoding never fails.
std::string encode_mail_action(const MailAction& action) {
  return mail_action_to_json(action).dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string encode_mail_operation(const MailOperation& operation) {
  return mail_operation_to_json(operation).dump(-1, ' ', false, json::error_handler_t::replace);
}

std::expected<MailAction, std::string> mail_action_from_json(const json& j) {
  auto t = split_tag(j, "enum MailAction");
  if (!t) return std::unexpected(t.error());
  const std::string& n = t->name;
  auto fail = [](std::string e) {
    return std::expected<MailAction, std::string>(std::unexpected(std::move(e)));
  };

  if (n == "DiscardDraft") {
    auto v = unit_only<MailAction::DiscardDraft>(*t, "MailAction");
    if (!v) return fail(v.error());
    return MailAction{*v};
  }
  if (!is_mail_action_name(n)) return fail(unknown_variant(n, action_names));
  if (auto ok = needs_fields(*t, "MailAction"); !ok) return fail(ok.error());
  const json& f = *t->fields;

  if (n == "SaveDraft") {
    auto d = draft_from_json(f);
    if (!d) return fail(d.error());
    return MailAction{MailAction::SaveDraft{std::move(*d)}};
  }
  if (n == "CreateFolder" || n == "RenameFolder") {
    auto id = text_codec::json_read::get_string(f, "id");
    if (!id) return fail(id.error());
    auto name = text_codec::json_read::get_string(f, "name");
    if (!name) return fail(name.error());
    if (n == "CreateFolder")
      return MailAction{MailAction::CreateFolder{std::move(*id), std::move(*name)}};
    return MailAction{MailAction::RenameFolder{std::move(*id), std::move(*name)}};
  }
  if (n == "DeleteFolder") {
    auto id = text_codec::json_read::get_string(f, "id");
    if (!id) return fail(id.error());
    return MailAction{MailAction::DeleteFolder{std::move(*id)}};
  }
  auto ids = get_ids(f);
  if (!ids) return fail(ids.error());
  if (n == "SetRead") {
    auto b = text_codec::json_read::get_bool(f, "read");
    if (!b) return fail(b.error());
    return MailAction{MailAction::SetRead{std::move(*ids), *b}};
  }
  if (n == "SetStarred") {
    auto b = text_codec::json_read::get_bool(f, "starred");
    if (!b) return fail(b.error());
    return MailAction{MailAction::SetStarred{std::move(*ids), *b}};
  }
  if (n == "Purge") return MailAction{MailAction::Purge{std::move(*ids)}};
  if (n == "Move") {
    auto folder = text_codec::json_read::get_string(f, "folder");
    if (!folder) return fail(folder.error());
    return MailAction{MailAction::Move{std::move(*ids), std::move(*folder)}};
  }
  auto label = text_codec::json_read::get_string(f, "label");
  if (!label) return fail(label.error());
  if (n == "AddLabel") return MailAction{MailAction::AddLabel{std::move(*ids), std::move(*label)}};
  return MailAction{MailAction::RemoveLabel{std::move(*ids), std::move(*label)}};
}

std::expected<MailOperation, std::string> mail_operation_from_json(const json& j) {
  auto t = split_tag(j, "enum MailOperation");
  if (!t) return std::unexpected(t.error());
  const std::string& n = t->name;
  auto fail = [](std::string e) {
    return std::expected<MailOperation, std::string>(std::unexpected(std::move(e)));
  };

  auto unit = [&]<class T>(T) -> std::expected<MailOperation, std::string> {
    auto v = unit_only<T>(*t, "MailOperation");
    if (!v) return fail(v.error());
    return MailOperation{*v};
  };
  if (n == "ComposeNew") return unit(MailOperation::ComposeNew{});
  if (n == "RefreshCurrentFolder") return unit(MailOperation::RefreshCurrentFolder{});
  if (n == "RevealDraft") return unit(MailOperation::RevealDraft{});

  if (!is_mail_operation_name(n)) return fail(unknown_variant(n, operation_names));
  if (auto ok = needs_fields(*t, "MailOperation"); !ok) return fail(ok.error());
  const json& f = *t->fields;

  if (n == "RevealFolder") {
    auto folder = text_codec::json_read::get_string(f, "folder");
    if (!folder) return fail(folder.error());
    return MailOperation{MailOperation::RevealFolder{std::move(*folder)}};
  }
  if (n == "RevealAccount") {
    auto id = text_codec::json_read::get_string(f, "id");
    if (!id) return fail(id.error());
    return MailOperation{MailOperation::RevealAccount{std::move(*id)}};
  }
  if (n == "SaveAttachment") {
    auto id = get_uuid(f, "message_id");
    if (!id) return fail(id.error());
    auto index = text_codec::json_read::get_u64(f, "index");
    if (!index) return fail(index.error());
    return MailOperation{MailOperation::SaveAttachment{std::move(*id), *index}};
  }
  if (n == "PrepareCalendarInvitation") {
    MailOperation::PrepareCalendarInvitation p;
    std::array<std::pair<std::string_view, std::string*>, 4> fields{
        {{"to", &p.to},
         {"subject", &p.subject},
         {"body", &p.body},
         {"calendar_ics", &p.calendar_ics}}};
    for (auto& [key, out] : fields) {
      auto s = text_codec::json_read::get_string(f, key);
      if (!s) return fail(s.error());
      *out = std::move(*s);
    }
    return MailOperation{std::move(p)};
  }
  auto id = get_uuid(f, "id");
  if (!id) return fail(id.error());
  if (n == "RevealMessage") return MailOperation{MailOperation::RevealMessage{std::move(*id)}};
  if (n == "InspectMessage") return MailOperation{MailOperation::InspectMessage{std::move(*id)}};
  if (n == "Reply") return MailOperation{MailOperation::Reply{std::move(*id)}};
  if (n == "ReplyAll") return MailOperation{MailOperation::ReplyAll{std::move(*id)}};
  return MailOperation{MailOperation::Forward{std::move(*id)}};
}

std::expected<MailAction, std::string> decode_mail_action(std::string_view text) {
  auto j = text_codec::json_read::parse_strict(text);
  if (!j) return std::unexpected(j.error());
  return mail_action_from_json(*j);
}

std::expected<MailOperation, std::string> decode_mail_operation(std::string_view text) {
  auto j = text_codec::json_read::parse_strict(text);
  if (!j) return std::unexpected(j.error());
  return mail_operation_from_json(*j);
}

}  // namespace mail
