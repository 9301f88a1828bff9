#include "record/folder.h"

namespace mail {

namespace {
struct RoleInfo {
  std::string_view name;
  std::string_view key;
  std::string_view mailbox;
};
constexpr std::array<RoleInfo, 7> roles{{
    {"Inbox", "inbox", "INBOX"},
    {"Starred", "starred", "INBOX"},
    {"Sent", "sent", "Sent"},
    {"Drafts", "drafts", "Drafts"},
    {"Archive", "archive", "Archive"},
    {"Trash", "trash", "Trash"},
    {"Junk", "junk", "Junk"},
}};
const RoleInfo& info(FolderRole role) {
  const auto i = static_cast<std::size_t>(role);
  return roles[i < roles.size() ? i : 0];
}
}  // namespace

std::string_view folder_display_name(FolderRole role) {
  return info(role).name;
}
std::string_view folder_key(FolderRole role) {
  return info(role).key;
}
std::string_view folder_imap_mailbox(FolderRole role) {
  return info(role).mailbox;
}

std::optional<FolderRole> parse_folder_key(std::string_view key) {
  for (std::size_t i = 0; i < roles.size(); ++i)
    if (roles[i].key == key) return static_cast<FolderRole>(i);
  return std::nullopt;
}

std::optional<FolderRole> folder_from_byte(std::uint8_t value) {
  if (value < roles.size()) return static_cast<FolderRole>(value);
  return std::nullopt;
}

}  // namespace mail
