#pragma once
// The message as the mail document holds it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "record/folder.h"
#include "record/uuid.h"

namespace mail {

struct Address {
  std::string email;
  std::optional<std::string> name;  // never an empty string

  bool operator==(const Address&) const = default;
};

// An attachment as a received message carries it.
struct AttachmentRecord {
  std::string filename;
  std::string content_type;
  std::vector<std::uint8_t> content;
  std::optional<std::string> content_key;
  std::uint64_t size = 0;
  bool downloaded = false;

  bool operator==(const AttachmentRecord&) const = default;
};

struct MessageRecord {
  Address from;
  std::vector<Address> to;
  std::vector<Address> cc;
  std::string subject;
  std::string text;
  std::vector<AttachmentRecord> attachments;
  std::vector<std::string> labels;
  std::optional<std::string> message_id;
  std::optional<std::string> in_reply_to;
  std::optional<std::string> html;
  Uuid id;
  std::int64_t date = 0;  // minutes since the Unix epoch, UTC
  bool read = false;
  bool starred = false;
  FolderRole folder = FolderRole::Inbox;

  bool operator==(const MessageRecord&) const = default;
};

}  // namespace mail
