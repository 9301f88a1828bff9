#pragma once
// The engine's IMAP conversations. Each opens its own connection through a
// Connector, logs in, does its work and logs out; nothing is kept between
// requests. Errors are texts ready for EngineResult::Failed.

#include <asio/awaitable.hpp>
#include <cstdint>
#include <expected>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/session.h"
#include "engine/transport.h"
#include "record/folder.h"
#include "record/record.h"
#include "state/account_settings.h"

namespace mail {

inline constexpr std::uint16_t default_imap_port = 993;
inline constexpr std::size_t fetch_batch = 50;
// Bodies are fetched a few at a time, so that one command's answer stays
// within SessionLimits::command_bytes even for messages of the largest size.
inline constexpr std::size_t body_batch = 5;
inline constexpr std::string_view fetch_items = "(UID FLAGS INTERNALDATE BODY.PEEK[])";

// Folder role → mailbox and search criteria; the server's folder list is not consulted.
struct MailboxQuery {
  std::string_view mailbox;
  std::string_view criteria;
};
[[nodiscard]] MailboxQuery mailbox_query(FolderRole role);

// The 50 highest distinct UIDs, highest first.
[[nodiscard]] std::vector<std::uint32_t> newest_uids(std::vector<std::uint32_t> uids);

// A UID set for UID FETCH: the numbers in the given order joined by ",".
[[nodiscard]] std::string uid_set(std::span<const std::uint32_t> uids);

// Connects (TLS from the first byte) and authenticates.
asio::awaitable<std::expected<std::unique_ptr<Session>, std::string>> connect_and_log_in(
    Connector& connector, const AccountSettings& settings, const Credential& credential);

// LIST "" "*": every mailbox name in the order the server gave them.
asio::awaitable<std::expected<std::vector<std::string>, std::string>> list_folders(
    Connector& connector, const AccountSettings& settings, const Credential& credential);

// The records of the newest (at most 50) matching messages of a folder,
// their bodies fetched body_batch at a time from the highest UIDs down;
// within a batch, in the order the server answers.
// `now_minutes` is the date of a message without INTERNALDATE and Date.
asio::awaitable<std::expected<std::vector<MessageRecord>, std::string>> fetch_folder(
    Connector& connector, const AccountSettings& settings, const Credential& credential,
    FolderRole role, std::int64_t now_minutes);

// Finds the message again by its Message-ID in the selected mailbox: the
// highest matching UID.
asio::awaitable<std::expected<std::uint32_t, std::string>> locate_uid(Session& session,
                                                                      const MessageRecord& record);

asio::awaitable<std::expected<void, std::string>> sync_flags(Connector& connector,
                                                             const AccountSettings& settings,
                                                             const Credential& credential,
                                                             const MessageRecord& record);

asio::awaitable<std::expected<void, std::string>> move_message(Connector& connector,
                                                               const AccountSettings& settings,
                                                               const Credential& credential,
                                                               const MessageRecord& record,
                                                               FolderRole target);

asio::awaitable<std::expected<void, std::string>> purge_message(Connector& connector,
                                                                const AccountSettings& settings,
                                                                const Credential& credential,
                                                                const MessageRecord& record);

// Minutes since the epoch now, from the system clock.
[[nodiscard]] std::int64_t current_minute();

}  // namespace mail
