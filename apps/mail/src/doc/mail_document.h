#pragma once
// The in-memory mail of one account: records keyed by message id, the order in
// which they first arrived, and a revision that changes on every change.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <unordered_map>
#include <vector>

#include "record/folder.h"
#include "record/record.h"
#include "record/uuid.h"
#include "state/account_settings.h"

namespace mail {

// The next value of the process-wide revision counter, which only grows. A
// document that replaces another never shows a revision a reader has seen.
std::uint64_t next_revision();

// Folder membership: Starred holds starred messages outside Trash; every other
// role holds the messages whose folder equals it.
bool in_folder(const MessageRecord& record, FolderRole role);

class MailDocument {
 public:
  explicit MailDocument(AccountSettings account = {});

  [[nodiscard]] const AccountSettings& account() const { return account_; }
  [[nodiscard]] std::uint64_t revision() const { return revision_; }
  [[nodiscard]] std::size_t len() const { return order_.size(); }
  [[nodiscard]] bool empty() const { return order_.empty(); }
  // Every id, in the order in which it was first inserted.
  [[nodiscard]] const std::vector<Uuid>& order() const { return order_; }

  // Pointers and references into the document stay valid until its next change.
  [[nodiscard]] const MessageRecord* get(const Uuid& id) const;

  // Inserts or replaces by record.id; a new id goes to the end of the order.
  void upsert(MessageRecord record);
  // True when a record was removed.
  bool remove(const Uuid& id);
  void update_read(const Uuid& id, bool read);
  void update_folder(const Uuid& id, FolderRole folder);
  // The new starred value; false (and no change) for a missing id.
  bool toggle_starred(const Uuid& id);
  // Moves to Trash, or removes a message already in Trash.
  void remove_or_trash(const Uuid& id);

  // Newest first; equal dates keep the document's order.
  [[nodiscard]] std::vector<const MessageRecord*> messages_in_folder(FolderRole role) const;
  [[nodiscard]] std::size_t count_in_folder(FolderRole role) const;
  [[nodiscard]] std::size_t unread_in_folder(FolderRole role) const;

  class const_iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = MessageRecord;
    using difference_type = std::ptrdiff_t;
    using pointer = const MessageRecord*;
    using reference = const MessageRecord&;

    const_iterator() = default;
    reference operator*() const { return *it_; }
    pointer operator->() const { return &**this; }
    const_iterator& operator++() {
      ++it_;
      return *this;
    }
    const_iterator operator++(int) {
      auto copy = *this;
      ++it_;
      return copy;
    }
    bool operator==(const const_iterator& o) const { return it_ == o.it_; }

   private:
    friend class MailDocument;
    explicit const_iterator(std::vector<MessageRecord>::const_iterator it) : it_(it) {}
    std::vector<MessageRecord>::const_iterator it_;
  };

  [[nodiscard]] const_iterator begin() const { return const_iterator(records_.begin()); }
  [[nodiscard]] const_iterator end() const { return const_iterator(records_.end()); }

 private:
  AccountSettings account_;
  MessageRecord* find(const Uuid& id);

  // Records in first-arrival order, side by side so that walking a folder
  // reads memory in sequence; order_[i] == records_[i].id.
  std::vector<Uuid> order_;
  std::vector<MessageRecord> records_;
  std::unordered_map<Uuid, std::size_t> index_;
  std::uint64_t revision_;
};

}  // namespace mail
