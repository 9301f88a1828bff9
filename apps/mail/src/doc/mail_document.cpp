#include "doc/mail_document.h"

#include <algorithm>
#include <atomic>

namespace mail {

std::uint64_t next_revision() {
  static std::atomic<std::uint64_t> counter{0};
  return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

bool in_folder(const MessageRecord& record, FolderRole role) {
  if (role == FolderRole::Starred) return record.starred && record.folder != FolderRole::Trash;
  return record.folder == role;
}

MailDocument::MailDocument(AccountSettings account)
    : account_(std::move(account)), revision_(next_revision()) {}

const MessageRecord* MailDocument::get(const Uuid& id) const {
  auto it = index_.find(id);
  return it == index_.end() ? nullptr : &records_[it->second];
}

MessageRecord* MailDocument::find(const Uuid& id) {
  auto it = index_.find(id);
  return it == index_.end() ? nullptr : &records_[it->second];
}

void MailDocument::upsert(MessageRecord record) {
  auto [it, inserted] = index_.try_emplace(record.id, records_.size());
  if (inserted) {
    order_.push_back(record.id);
    records_.push_back(std::move(record));
  } else {
    records_[it->second] = std::move(record);
  }
  revision_ = next_revision();
}

bool MailDocument::remove(const Uuid& id) {
  auto it = index_.find(id);
  if (it == index_.end()) return false;
  const std::size_t at = it->second;
  index_.erase(it);
  order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(at));
  records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(at));
  for (std::size_t i = at; i < order_.size(); ++i) index_[order_[i]] = i;
  revision_ = next_revision();
  return true;
}

void MailDocument::update_read(const Uuid& id, bool read) {
  MessageRecord* r = find(id);
  if (r == nullptr || r->read == read) return;
  r->read = read;
  revision_ = next_revision();
}

void MailDocument::update_folder(const Uuid& id, FolderRole folder) {
  MessageRecord* r = find(id);
  if (r == nullptr || r->folder == folder) return;
  r->folder = folder;
  revision_ = next_revision();
}

bool MailDocument::toggle_starred(const Uuid& id) {
  MessageRecord* r = find(id);
  if (r == nullptr) return false;
  r->starred = !r->starred;
  revision_ = next_revision();
  return r->starred;
}

void MailDocument::remove_or_trash(const Uuid& id) {
  const MessageRecord* r = get(id);
  if (r == nullptr) return;
  if (r->folder == FolderRole::Trash)
    remove(id);
  else
    update_folder(id, FolderRole::Trash);
}

std::vector<const MessageRecord*> MailDocument::messages_in_folder(FolderRole role) const {
  // Sorting (date, record) pairs keeps the comparisons in one array instead of
  // following a pointer into every record.
  std::vector<std::pair<std::int64_t, const MessageRecord*>> dated;
  for (const MessageRecord& r : records_)
    if (in_folder(r, role)) dated.emplace_back(r.date, &r);
  std::stable_sort(dated.begin(), dated.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<const MessageRecord*> out;
  out.reserve(dated.size());
  for (const auto& [date, r] : dated) out.push_back(r);
  return out;
}

std::size_t MailDocument::count_in_folder(FolderRole role) const {
  std::size_t n = 0;
  for (const auto& r : records_) n += in_folder(r, role) ? 1 : 0;
  return n;
}

std::size_t MailDocument::unread_in_folder(FolderRole role) const {
  std::size_t n = 0;
  for (const auto& r : records_) n += in_folder(r, role) && !r.read ? 1 : 0;
  return n;
}

}  // namespace mail
