#include "doc/replicated.h"

#include <algorithm>

#include "record/text.h"
#include "validate/draft_checks.h"

namespace mail {

namespace {

using persist::Path;

Path flags(std::string_view key) {
  return {"flags", std::string(key)};
}
Path flag(std::string_view key, const char* leaf) {
  return {"flags", std::string(key), leaf};
}
Path presence(std::string_view key) {
  return {"messages", std::string(key)};
}
Path presence(std::string_view key, const char* leaf) {
  return {"messages", std::string(key), leaf};
}
Path labels_path(std::string_view key) {
  return {"flags", std::string(key), "labels"};
}

constexpr std::array<const char*, 8> draft_keys{"to",   "cc",        "bcc",          "subject",
                                                "body", "html_body", "calendar_ics", "attachments"};

}  // namespace

bool is_present(const ReplicatedDocument& doc, std::string_view key) {
  if (doc.is_map(presence(key))) {
    if (doc.get_bool(presence(key, "purged")) == true) return false;
    return doc.get_bool(presence(key, "present")) == true;
  }
  // Documents from before presence was recorded: a flags entry means known.
  return doc.is_map(flags(key));
}

bool is_hidden(const ReplicatedDocument& doc, std::string_view key) {
  if (!doc.is_map(presence(key))) return false;
  return doc.get_bool(presence(key, "purged")) == true ||
         doc.get_bool(presence(key, "present")) == false;
}

void mark_present(ReplicatedDocument& doc, std::string_view key) {
  if (key.empty()) return;
  doc.ensure_map(presence(key));
  if (doc.get_bool(presence(key, "purged")) == true) return;  // purged is final
  doc.put_bool(presence(key, "present"), true);
  doc.ensure_map(flags(key));
}

void mark_purged(ReplicatedDocument& doc, std::string_view key) {
  doc.ensure_map(presence(key));
  doc.put_bool(presence(key, "purged"), true);
  doc.put_bool(presence(key, "present"), false);
}

std::optional<bool> read_of(const ReplicatedDocument& doc, std::string_view key) {
  return doc.get_bool(flag(key, "read"));
}
std::optional<bool> starred_of(const ReplicatedDocument& doc, std::string_view key) {
  return doc.get_bool(flag(key, "starred"));
}
std::optional<FolderRole> folder_of(const ReplicatedDocument& doc, std::string_view key) {
  auto text = doc.get_string(flag(key, "folder"));
  if (!text) return std::nullopt;
  return parse_folder_key(*text);
}

std::vector<std::string> labels_of(const ReplicatedDocument& doc, std::string_view key) {
  std::vector<std::string> out;
  for (auto& v : doc.items(labels_path(key)))
    if (auto* s = std::get_if<std::string>(&v)) out.push_back(std::move(*s));
  return out;
}

void put_read(ReplicatedDocument& doc, std::string_view key, bool value) {
  doc.ensure_map(flags(key));
  doc.put_bool(flag(key, "read"), value);
}
void put_starred(ReplicatedDocument& doc, std::string_view key, bool value) {
  doc.ensure_map(flags(key));
  doc.put_bool(flag(key, "starred"), value);
}
void put_folder(ReplicatedDocument& doc, std::string_view key, FolderRole role) {
  doc.ensure_map(flags(key));
  doc.put_string(flag(key, "folder"), folder_key(role));
}

void add_label(ReplicatedDocument& doc, std::string_view key, std::string_view label) {
  if (label.empty()) return;
  doc.ensure_list(labels_path(key));
  for (const auto& v : doc.items(labels_path(key))) {
    if (auto* s = std::get_if<std::string>(&v); s && *s == label) return;
  }
  doc.push_string(labels_path(key), label);
}

void remove_label(ReplicatedDocument& doc, std::string_view key, std::string_view label) {
  doc.ensure_list(labels_path(key));
  const auto items = doc.items(labels_path(key));
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (auto* s = std::get_if<std::string>(&items[i]); s && *s == label) {
      doc.remove_at(labels_path(key), i);
      return;
    }
  }
}

std::vector<std::pair<std::string, std::string>> folders(const ReplicatedDocument& doc) {
  std::vector<std::pair<std::string, std::string>> out;
  for (auto& id : doc.keys({"folders"})) {
    if (auto name = doc.get_string({"folders", id})) out.emplace_back(id, std::move(*name));
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return out;
}

void create_folder(ReplicatedDocument& doc, std::string_view id, std::string_view name) {
  if (id.empty()) return;
  doc.ensure_map({"folders"});
  doc.put_string({"folders", std::string(id)}, name);
}

void rename_folder(ReplicatedDocument& doc, std::string_view id, std::string_view name) {
  if (id.empty() || !doc.is_map({"folders"}) || !doc.has({"folders", std::string(id)})) return;
  doc.put_string({"folders", std::string(id)}, name);
}

void delete_folder(ReplicatedDocument& doc, std::string_view id) {
  if (id.empty() || !doc.is_map({"folders"}) || !doc.has({"folders", std::string(id)})) return;
  doc.remove({"folders", std::string(id)});
}

DraftData load_draft(const ReplicatedDocument& doc) {
  DraftData d;
  if (!doc.is_map({"draft"})) return d;
  auto text = [&](const char* key) { return doc.get_string({"draft", key}).value_or(""); };
  d.to = text("to");
  d.cc = text("cc");
  d.bcc = text("bcc");
  d.subject = text("subject");
  d.body = text("body");
  d.html_body = doc.get_string({"draft", "html_body"});
  if (auto ics = doc.get_string({"draft", "calendar_ics"}); ics && is_bounded_invitation(*ics))
    d.calendar_ics = std::move(*ics);
  if (auto json = doc.get_string({"draft", "attachments"})) {
    const auto parsed = nlohmann::json::parse(*json, nullptr, false);
    if (!parsed.is_discarded() && parsed.is_array()) {
      std::vector<DraftAttachment> list;
      bool ok = true;
      for (const auto& item : parsed) {
        auto a = draft_attachment_from_json(item);
        if (!a) {
          ok = false;
          break;
        }
        list.push_back(std::move(*a));
      }
      if (ok) d.attachments = validate_list(list);
    }
  }
  return d;
}

void save_draft(ReplicatedDocument& doc, const DraftData& draft) {
  doc.ensure_map({"draft"});
  doc.put_string({"draft", "to"}, draft.to);
  doc.put_string({"draft", "cc"}, draft.cc);
  doc.put_string({"draft", "bcc"}, draft.bcc);
  doc.put_string({"draft", "subject"}, draft.subject);
  doc.put_string({"draft", "body"}, draft.body);
  if (draft.html_body) doc.put_string({"draft", "html_body"}, *draft.html_body);
  if (draft.calendar_ics)
    doc.put_string({"draft", "calendar_ics"}, *draft.calendar_ics);
  else if (doc.has({"draft", "calendar_ics"}))
    doc.remove({"draft", "calendar_ics"});
  try {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& a : draft.attachments) list.push_back(draft_attachment_to_json(a));
    doc.put_string({"draft", "attachments"}, list.dump());
  } catch (const nlohmann::json::exception&) {
    // Not serialisable (invalid UTF-8 in a name): the stored list stays.
  }
}

void discard_draft(ReplicatedDocument& doc) {
  doc.ensure_map({"draft"});
  for (const char* key : draft_keys)
    if (doc.has({"draft", key})) doc.remove({"draft", key});
}

void apply_server_defaults(ReplicatedDocument& doc, const MessageRecord& record) {
  const std::string key = record.id.to_string();
  mark_present(doc, key);
  if (!doc.get_bool(flag(key, "read"))) put_read(doc, key, record.read);
  if (!doc.get_bool(flag(key, "starred"))) put_starred(doc, key, record.starred);
  if (!doc.get_string(flag(key, "folder"))) put_folder(doc, key, record.folder);
}

void apply_overlay(const ReplicatedDocument& doc, MailDocument& mail) {
  std::vector<Uuid> hidden;
  for (const auto& id : mail.order())
    if (is_hidden(doc, id.to_string())) hidden.push_back(id);
  for (const auto& id : hidden) mail.remove(id);

  if (!doc.is_map({"flags"})) return;
  std::vector<MessageRecord> changed;
  for (const auto& record : mail) {
    const std::string key = record.id.to_string();
    if (!doc.is_map(flags(key))) continue;
    MessageRecord r = record;
    if (auto v = read_of(doc, key)) r.read = *v;
    if (auto v = starred_of(doc, key)) r.starred = *v;
    if (auto v = folder_of(doc, key)) r.folder = *v;
    r.labels = labels_of(doc, key);
    if (r.read != record.read || r.starred != record.starred || r.folder != record.folder ||
        r.labels != record.labels)
      changed.push_back(std::move(r));
  }
  for (auto& r : changed) mail.upsert(std::move(r));
}

namespace {

std::vector<std::string> present_ids(const ReplicatedDocument& doc,
                                     const std::vector<std::string>& ids) {
  std::vector<std::string> out;
  for (auto& id : normalize_ids(ids))
    if (is_present(doc, id)) out.push_back(std::move(id));
  return out;
}

// What a mail action may store: longer texts are cut, not refused.
constexpr std::size_t max_label_chars = 128;
constexpr std::size_t max_folder_name_chars = 96;
constexpr std::size_t max_recipient_field_chars = 8192;
constexpr std::size_t max_subject_chars = 998;  // one header line (RFC 5322 section 2.1.1)
constexpr std::size_t max_body_chars = 262144;

// Purge acts only when every id names a message that is in Trash now.
std::expected<void, ActionError> purge_from_trash(ReplicatedDocument& doc,
                                                  const std::vector<std::string>& requested) {
  const auto ids = normalize_ids(requested);
  const bool all_in_trash =
      !ids.empty() && std::all_of(ids.begin(), ids.end(), [&](const std::string& key) {
        return is_present(doc, key) &&
               doc.get_string(flag(key, "folder")) == folder_key(FolderRole::Trash);
      });
  if (!all_in_trash)
    return std::unexpected(
        ActionError{purge_precondition_code, std::string(purge_precondition_message)});
  for (const auto& key : ids) mark_purged(doc, key);
  return {};
}

// The draft as it may be stored: every text cleaned and cut to its limit, an
// invitation kept only when it is bounded, attachments validated.
DraftData bounded_draft(const DraftData& in) {
  DraftData d;
  d.to = clean_text(in.to, max_recipient_field_chars, false);
  d.cc = clean_text(in.cc, max_recipient_field_chars, false);
  d.bcc = clean_text(in.bcc, max_recipient_field_chars, false);
  d.subject = clean_text(in.subject, max_subject_chars, false);
  d.body = clean_text(in.body, max_body_chars, true);
  if (in.html_body) d.html_body = clean_text(*in.html_body, max_body_chars, true);
  if (in.calendar_ics && is_bounded_invitation(*in.calendar_ics)) d.calendar_ics = in.calendar_ics;
  d.attachments = validate_list(in.attachments);
  return d;
}

}  // namespace

std::expected<void, ActionError> apply_action(ReplicatedDocument& doc, const MailAction& action) {
  using A = MailAction;
  return std::visit(
      [&](const auto& a) -> std::expected<void, ActionError> {
        using T = std::decay_t<decltype(a)>;
        if constexpr (std::is_same_v<T, A::SetRead>) {
          for (const auto& key : present_ids(doc, a.ids)) put_read(doc, key, a.read);
        } else if constexpr (std::is_same_v<T, A::SetStarred>) {
          for (const auto& key : present_ids(doc, a.ids)) put_starred(doc, key, a.starred);
        } else if constexpr (std::is_same_v<T, A::Move>) {
          const auto role = parse_folder_key(a.folder);
          if (!role) return {};
          for (const auto& key : present_ids(doc, a.ids)) put_folder(doc, key, *role);
        } else if constexpr (std::is_same_v<T, A::Purge>) {
          return purge_from_trash(doc, a.ids);
        } else if constexpr (std::is_same_v<T, A::AddLabel> || std::is_same_v<T, A::RemoveLabel>) {
          const std::string label = clean_text(a.label, max_label_chars, false);
          if (label.empty()) return {};
          for (const auto& key : present_ids(doc, a.ids)) {
            if constexpr (std::is_same_v<T, A::AddLabel>)
              add_label(doc, key, label);
            else
              remove_label(doc, key, label);
          }
        } else if constexpr (std::is_same_v<T, A::CreateFolder> ||
                             std::is_same_v<T, A::RenameFolder>) {
          const std::string name = clean_text(a.name, max_folder_name_chars, false);
          if (utf8_length(a.id) > max_id_chars || name.empty()) return {};
          if constexpr (std::is_same_v<T, A::CreateFolder>)
            create_folder(doc, a.id, name);
          else
            rename_folder(doc, a.id, name);
        } else if constexpr (std::is_same_v<T, A::DeleteFolder>) {
          if (utf8_length(a.id) > max_id_chars) return {};
          delete_folder(doc, a.id);
        } else if constexpr (std::is_same_v<T, A::SaveDraft>) {
          save_draft(doc, bounded_draft(a.draft));
        } else if constexpr (std::is_same_v<T, A::DiscardDraft>) {
          discard_draft(doc);
        }
        return {};
      },
      action.value);
}

}  // namespace mail
