#include "list_model/list_model.h"

#include <algorithm>
#include <deque>
#include <unordered_map>

#include "list_model/format.h"
#include "record/text.h"
#include "text_codec/ascii.h"

namespace mail {

namespace {

using text_codec::to_lower;

bool starts_with_ci(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (to_lower(text[i]) != prefix[i]) return false;
  return true;
}

// normalize_message_id without copying; empty means absent.
std::string_view message_id_view(std::string_view text) {
  std::string_view t = trim_unicode(text);
  if (!t.empty() && t.front() == '<') t.remove_prefix(1);
  if (!t.empty() && t.back() == '>') t.remove_suffix(1);
  return trim_unicode(t);
}

// Lower-cases ASCII into `buf` and searches there; `needle` is lower-case.
bool contains_ci(std::string_view haystack, std::string_view needle, std::string& buf) {
  if (haystack.size() < needle.size()) return false;
  buf.resize(haystack.size());
  for (std::size_t i = 0; i < haystack.size(); ++i) buf[i] = to_lower(haystack[i]);
  return std::string_view(buf).find(needle) != std::string_view::npos;
}

}  // namespace

std::optional<std::string> normalize_message_id(std::string_view text) {
  const std::string_view t = message_id_view(text);
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
  const std::size_t n = messages.size();

  // Normalised Message-ID → position in `messages`; the last one wins. Views
  // point into the records, which outlive this call.
  std::unordered_map<std::string_view, std::size_t> by_message_id;
  by_message_id.reserve(n);
  for (std::size_t i = 0; i < n; ++i)
    if (messages[i]->message_id)
      if (auto id = message_id_view(*messages[i]->message_id); !id.empty())
        by_message_id.insert_or_assign(id, i);

  // Message ids as UUID text, for messages without a Message-ID.
  std::deque<std::string> uuid_keys;
  auto own_key = [&](std::size_t i) -> std::string_view {
    const MessageRecord& r = *messages[i];
    if (r.message_id)
      if (auto id = message_id_view(*r.message_id); !id.empty()) return id;
    return uuid_keys.emplace_back(r.id.to_string());
  };

  // A walk that ends without a cycle gives its key to every message on it;
  // those are remembered so long reply chains are walked once.
  std::vector<std::string_view> known(n);
  std::vector<bool> has_known(n, false);
  std::vector<std::size_t> visited_by(n, SIZE_MAX);

  // Dates and ids side by side, so sorting groups does not touch the records.
  std::vector<std::int64_t> dates(n);
  std::vector<Uuid> ids(n);
  for (std::size_t i = 0; i < n; ++i) {
    dates[i] = messages[i]->date;
    ids[i] = messages[i]->id;
  }

  struct Group {
    std::string_view key;
    std::vector<std::size_t> members;
  };
  std::vector<Group> groups;
  std::unordered_map<std::string_view, std::size_t> group_of;
  group_of.reserve(n);

  std::vector<std::size_t> path;
  for (std::size_t m = 0; m < n; ++m) {
    path.clear();
    std::string_view key;
    bool cacheable = true;
    std::size_t c = m;
    for (;;) {
      if (has_known[c]) {
        key = known[c];
        break;
      }
      if (visited_by[c] == m) {  // a reply cycle
        key = own_key(c);
        cacheable = false;
        break;
      }
      visited_by[c] = m;
      path.push_back(c);
      const std::string_view parent = messages[c]->in_reply_to
                                          ? message_id_view(*messages[c]->in_reply_to)
                                          : std::string_view();
      if (parent.empty()) {
        key = own_key(c);
        break;
      }
      auto found = by_message_id.find(parent);
      if (found == by_message_id.end()) {
        key = parent;
        break;
      }
      c = found->second;
    }
    if (cacheable)
      for (std::size_t p : path) {
        known[p] = key;
        has_known[p] = true;
      }

    auto [it, inserted] = group_of.try_emplace(key, groups.size());
    if (inserted) groups.push_back({key, {}});
    groups[it->second].members.push_back(m);
  }

  struct Sorted {
    std::size_t group;
    std::int64_t newest;
  };
  std::vector<Sorted> sorted;
  sorted.reserve(groups.size());
  for (std::size_t g = 0; g < groups.size(); ++g) {
    auto& members = groups[g].members;
    if (members.size() > 1)
      std::sort(members.begin(), members.end(), [&](std::size_t a, std::size_t b) {
        if (dates[a] != dates[b]) return dates[a] < dates[b];
        return ids[a].bytes < ids[b].bytes;
      });
    sorted.push_back({g, dates[members.back()]});
  }
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const Sorted& a, const Sorted& b) { return a.newest > b.newest; });
  std::vector<Conversation> out;
  out.reserve(sorted.size());
  for (const auto& s : sorted) {
    const Group& g = groups[s.group];
    Conversation c;
    c.key = std::string(g.key);
    c.subject = normalize_subject(messages[g.members.front()]->subject);
    c.message_ids.reserve(g.members.size());
    for (std::size_t i : g.members) c.message_ids.push_back(ids[i]);
    out.push_back(std::move(c));
  }
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
  for (auto& ch : q) ch = to_lower(ch);
  if (q.empty() || scan_limit == 0 || result_limit == 0) return result;

  std::string buf;
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
    const std::string_view label =
        r->from.name && !r->from.name->empty() ? *r->from.name : r->from.email;
    if (contains_ci(r->subject, q, buf) || contains_ci(label, q, buf) ||
        contains_ci(r->from.email, q, buf) || contains_ci(r->text, q, buf))
      result.messages.push_back(r);
  }
  std::stable_sort(
      result.messages.begin(), result.messages.end(),
      [](const MessageRecord* a, const MessageRecord* b) { return a->date > b->date; });
  return result;
}

std::vector<ListRow> visible_rows(const MailDocument& doc, std::string_view query,
                                  FolderRole folder) {
  if (!trim_unicode(query).empty()) {
    const SearchResult found =
        search_messages(doc, query, std::nullopt, list_search_scan_limit, list_search_result_limit);
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
  std::stable_sort(out.begin(), out.end(), [](const MessageRecord* a, const MessageRecord* b) {
    return a->date < b->date;
  });
  return out;
}

}  // namespace mail
