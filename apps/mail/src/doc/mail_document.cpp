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
  auto it = messages_.find(id);
  return it == messages_.end() ? nullptr : &it->second;
}

void MailDocument::upsert(MessageRecord record) {
  const Uuid id = record.id;
  auto [it, inserted] = messages_.try_emplace(id, std::move(record));
  if (inserted)
    order_.push_back(id);
  else
    it->second = std::move(record);
  revision_ = next_revision();
}

bool MailDocument::remove(const Uuid& id) {
  if (messages_.erase(id) == 0) return false;
  order_.erase(std::find(order_.begin(), order_.end(), id));
  revision_ = next_revision();
  return true;
}

void MailDocument::update_read(const Uuid& id, bool read) {
  auto it = messages_.find(id);
  if (it == messages_.end() || it->second.read == read) return;
  it->second.read = read;
  revision_ = next_revision();
}

void MailDocument::update_folder(const Uuid& id, FolderRole folder) {
  auto it = messages_.find(id);
  if (it == messages_.end() || it->second.folder == folder) return;
  it->second.folder = folder;
  revision_ = next_revision();
}

bool MailDocument::toggle_starred(const Uuid& id) {
  auto it = messages_.find(id);
  if (it == messages_.end()) return false;
  it->second.starred = !it->second.starred;
  revision_ = next_revision();
  return it->second.starred;
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
  std::vector<const MessageRecord*> out;
  for (const auto& id : order_) {
    const MessageRecord& r = messages_.at(id);
    if (in_folder(r, role)) out.push_back(&r);
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const MessageRecord* a, const MessageRecord* b) { return a->date > b->date; });
  return out;
}

std::size_t MailDocument::count_in_folder(FolderRole role) const {
  std::size_t n = 0;
  for (const auto& [id, r] : messages_) n += in_folder(r, role) ? 1 : 0;
  return n;
}

std::size_t MailDocument::unread_in_folder(FolderRole role) const {
  std::size_t n = 0;
  for (const auto& [id, r] : messages_) n += in_folder(r, role) && !r.read ? 1 : 0;
  return n;
}

}  // namespace mail
