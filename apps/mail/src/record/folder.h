#pragma once
// Folder roles: one byte each, with display name, key and the IMAP mailbox
// that holds them. Starred is virtual: the flagged messages of "INBOX".

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace mail {

enum class FolderRole : std::uint8_t {
  Inbox = 0,
  Starred = 1,
  Sent = 2,
  Drafts = 3,
  Archive = 4,
  Trash = 5,
  Junk = 6,
};

inline constexpr std::array<FolderRole, 7> all_folder_roles{
    FolderRole::Inbox,   FolderRole::Starred, FolderRole::Sent, FolderRole::Drafts,
    FolderRole::Archive, FolderRole::Trash,   FolderRole::Junk};

[[nodiscard]] std::string_view folder_display_name(FolderRole role);
[[nodiscard]] std::string_view folder_key(FolderRole role);
[[nodiscard]] std::string_view folder_imap_mailbox(FolderRole role);
// Exact, case-sensitive; any other text is no role.
[[nodiscard]] std::optional<FolderRole> parse_folder_key(std::string_view key);
// The role for a byte value 0–6.
[[nodiscard]] std::optional<FolderRole> folder_from_byte(std::uint8_t value);

}  // namespace mail
