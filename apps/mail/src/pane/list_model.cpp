#include "pane/list_model.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "doc/text.h"
#include "pane/format.h"

namespace mail {

namespace {

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool starts_with_ci(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (ascii_lower(text[i]) != prefix[i]) return false;
  return true;
}

// `needle` is already lower-case.
bool contains_ci(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) return true;
  if (haystack.size() < needle.size()) return false;
  const char first = needle[0];
  const char first_upper = first >= 'a' && first <= 'z' ? static_cast<char>(first - 32) : first;
  const std::size_t last = haystack.size() - needle.size();
  for (std::size_t i = 0; i <= last; ++i) {
    const char c = haystack[i];
    if (c != first && c != first_upper) continue;
    std::size_t j = 1;
    while (j < needle.size() && ascii_lower(haystack[i + j]) == needle[j]) ++j;
    if (j == needle.size()) return true;
  }
  return false;
}

std::string own_key(const MessageRecord& r) {
  if (r.message_id)
    if (auto id = normalize_message_id(*r.message_id)) return std::move(*id);
  return r.id.to_string();
}

bool older(const MessageRecord* a, const MessageRecord* b) {
  if (a->date != b->date) return a->date < b->date;
  return a->id.bytes < b->id.bytes;
}

}  // namespace

std::optional<std::string> normalize_message_id(std::string_view text) {
  std::string_view t = trim_unicode(text);
  if (!t.empty() && t.front() == '<') t.remove_prefix(1);
  if (!t.empty() && t.back() == '>') t.remove_suffix(1);
  t = trim_unicode(t);
  if (t.empty()) return std::nullopt;
  return std::string(t);
}

std::string normalize_subject(std::string_view subject) {
  std::string_view t = trim_unicode(subject);
  for (;;) {
    std::size_t cut = 0;
    for (std::string_view prefix : {"re:", "fwd:", "fw:"}) {
      if (starts_with_ci(t, prefix)) {
        cut = prefix.size();
        break;
      }
    }
    if (cut == 0) break;
    t = trim_unicode(t.substr(cut));  // the end is already trimmed
  }
  return std::string(t);
}

std::vector<Conversation> conversations_in_folder(const MailDocument& doc, FolderRole role) {
  const std::vector<const MessageRecord*> messages = doc.messages_in_folder(role);

  std::unordered_map<std::string, const MessageRecord*> by_message_id;
  by_message_id.reserve(messages.size());
  for (const MessageRecord* m : messages)
    if (m->message_id)
      if (auto id = normalize_message_id(*m->message_id)) by_message_id[std::move(*id)] = m;

  // Keys found by walks that ended without a cycle hold for every message on
  // the walk; cached so long reply chains are walked once.
  std::unordered_map<const MessageRecord*, std::string> known;
  known.reserve(messages.size());

  struct Group {
    std::string key;
    std::vector<const MessageRecord*> members;
  };
  std::vector<Group> groups;
  std::unordered_map<std::string, std::size_t> group_of;

  std::vector<const MessageRecord*> path;
  std::unordered_set<const MessageRecord*> visited;
  for (const MessageRecord* m : messages) {
    path.clear();
    visited.clear();
    std::string key;
    bool cacheable = true;
    const MessageRecord* c = m;
    for (;;) {
      if (auto it = known.find(c); it != known.end()) {
        key = it->second;
        break;
      }
      if (!visited.insert(c).second) {  // a reply cycle
        key = own_key(*c);
        cacheable = false;
        break;
      }
      path.push_back(c);
      std::optional<std::string> parent =
          c->in_reply_to ? normalize_message_id(*c->in_reply_to) : std::nullopt;
      if (!parent) {
        key = own_key(*c);
        break;
      }
      auto found = by_message_id.find(*parent);
      if (found == by_message_id.end()) {
        key = std::move(*parent);
        break;
      }
      c = found->second;
    }
    if (cacheable)
      for (const MessageRecord* p : path) known.emplace(p, key);

    auto [it, inserted] = group_of.try_emplace(key, groups.size());
    if (inserted) groups.push_back({key, {}});
    groups[it->second].members.push_back(m);
  }

  struct Sorted {
    Conversation conversation;
    std::int64_t newest;
  };
  std::vector<Sorted> sorted;
  sorted.reserve(groups.size());
  for (auto& g : groups) {
    std::sort(g.members.begin(), g.members.end(), older);
    Conversation c;
    c.key = std::move(g.key);
    c.subject = normalize_subject(g.members.front()->subject);
    c.message_ids.reserve(g.members.size());
    for (const MessageRecord* r : g.members) c.message_ids.push_back(r->id);
    sorted.push_back({std::move(c), g.members.back()->date});
  }
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Sorted& a, const Sorted& b) { return a.newest > b.newest; });
  std::vector<Conversation> out;
  out.reserve(sorted.size());
  for (auto& s : sorted) out.push_back(std::move(s.conversation));
  return out;
}

std::vector<ListRow> conversation_rows(const std::vector<Conversation>& conversations) {
  std::vector<ListRow> rows;
  rows.reserve(conversations.size());
  for (const auto& c : conversations) rows.push_back({c.message_ids.back(), c.message_ids.size()});
  return rows;
}

SearchResult search_messages(const MailDocument& doc, std::string_view query, FolderFilter folder,
                             std::size_t scan_limit, std::size_t result_limit) {
  SearchResult result;
  std::string q(trim_unicode(query));
  for (auto& ch : q) ch = ascii_lower(ch);
  if (q.empty() || scan_limit == 0 || result_limit == 0) return result;

  const auto& order = doc.order();
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const MessageRecord* r = doc.get(*it);
    if (r == nullptr) continue;
    if (folder ? r->folder != *folder : r->folder == FolderRole::Trash) continue;
    if (result.messages.size() >= result_limit || result.examined >= scan_limit) {
      result.truncated = true;
      break;
    }
    ++result.examined;
    if (contains_ci(r->subject, q) || contains_ci(sender_label(*r), q) ||
        contains_ci(r->from.email, q) || contains_ci(r->text, q))
      result.messages.push_back(r);
  }
  std::stable_sort(result.messages.begin(), result.messages.end(),
                   [](const MessageRecord* a, const MessageRecord* b) { return a->date > b->date; });
  return result;
}

std::vector<ListRow> visible_rows(const MailDocument& doc, std::string_view query,
                                  FolderRole folder) {
  if (!trim_unicode(query).empty()) {
    const SearchResult found = search_messages(doc, query, std::nullopt, list_search_scan_limit,
                                               list_search_result_limit);
    std::vector<ListRow> rows;
    rows.reserve(found.messages.size());
    for (const MessageRecord* r : found.messages) rows.push_back({r->id, 1});
    return rows;
  }
  return conversation_rows(conversations_in_folder(doc, folder));
}

std::vector<const MessageRecord*> open_conversation(const MailDocument& doc,
                                                    std::optional<Uuid> selected) {
  std::vector<const MessageRecord*> out;
  if (!selected) return out;
  const MessageRecord* s = doc.get(*selected);
  if (s == nullptr) return out;
  const std::string subject = normalize_subject(s->subject);
  for (const MessageRecord& r : doc)
    if (r.folder == s->folder && normalize_subject(r.subject) == subject) out.push_back(&r);
  std::stable_sort(out.begin(), out.end(),
                   [](const MessageRecord* a, const MessageRecord* b) { return a->date < b->date; });
  return out;
}

}  // namespace mail
