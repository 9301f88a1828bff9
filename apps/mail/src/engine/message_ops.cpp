#include <algorithm>

#include "engine/imap_ops.h"

namespace mail {
namespace {

constexpr std::string_view not_found = "message not found on the server";

// The common opening: log in, select the mailbox of the record's folder
// (Starred is "INBOX") and find the message's UID there.
struct Opened {
  std::unique_ptr<Session> session;
  std::uint32_t uid = 0;
};

asio::awaitable<std::expected<Opened, std::string>> open_message(Connector& connector,
                                                                 const AccountSettings& settings,
                                                                 const Credential& credential,
                                                                 const MessageRecord& record) {
  auto session = co_await connect_and_log_in(connector, settings, credential);
  if (!session) co_return std::unexpected(session.error());
  if (auto s = co_await (*session)->select(mailbox_query(record.folder).mailbox); !s)
    co_return std::unexpected(s.error());
  auto uid = co_await locate_uid(**session, record);
  if (!uid) co_return std::unexpected(uid.error());
  co_return Opened{std::move(*session), *uid};
}

}  // namespace

asio::awaitable<std::expected<std::uint32_t, std::string>> locate_uid(Session& session,
                                                                      const MessageRecord& record) {
  if (!record.message_id || record.message_id->empty())
    co_return std::unexpected(std::string("message has no Message-ID to locate it on the server"));
  std::string id = *record.message_id;
  std::erase(id, '"');
  // NB: the rest of the Message-ID comes from a stranger's message. The
  // command builder escapes '\' in a quoted string and sends CR, LF and 8-bit
  // bytes as a literal, so the server reads back exactly these bytes and no
  // byte can end the argument early; for NUL, which no IMAP string can carry,
  // no such message can be found.
  if (id.empty() || id.find('\0') != std::string::npos)
    co_return std::unexpected(std::string(not_found));
  auto command = session.commands().uid_search_message_id(id);
  if (!command) co_return std::unexpected(std::string(not_found));
  auto uids = co_await session.uid_search(std::move(*command));
  if (!uids) co_return std::unexpected(uids.error());
  if (uids->empty()) co_return std::unexpected(std::string(not_found));
  co_return *std::max_element(uids->begin(), uids->end());
}

asio::awaitable<std::expected<void, std::string>> sync_flags(Connector& connector,
                                                             const AccountSettings& settings,
                                                             const Credential& credential,
                                                             const MessageRecord& record) {
  auto opened = co_await open_message(connector, settings, credential, record);
  if (!opened) co_return std::unexpected(opened.error());
  Session& s = *opened->session;
  const std::uint32_t uid = opened->uid;
  for (std::string_view item : {record.read ? "+FLAGS (\\Seen)" : "-FLAGS (\\Seen)",
                                record.starred ? "+FLAGS (\\Flagged)" : "-FLAGS (\\Flagged)"}) {
    auto out = co_await s.run_ok(s.commands().uid_store(uid, item));
    if (!out) co_return std::unexpected(out.error());
  }
  co_await s.log_out();
  co_return std::expected<void, std::string>{};
}

asio::awaitable<std::expected<void, std::string>> move_message(Connector& connector,
                                                               const AccountSettings& settings,
                                                               const Credential& credential,
                                                               const MessageRecord& record,
                                                               FolderRole target) {
  auto opened = co_await open_message(connector, settings, credential, record);
  if (!opened) co_return std::unexpected(opened.error());
  Session& s = *opened->session;
  auto out = co_await s.run_ok(s.commands().uid_move(opened->uid, mailbox_query(target).mailbox));
  if (!out) co_return std::unexpected(out.error());
  co_await s.log_out();
  co_return std::expected<void, std::string>{};
}

asio::awaitable<std::expected<void, std::string>> purge_message(Connector& connector,
                                                                const AccountSettings& settings,
                                                                const Credential& credential,
                                                                const MessageRecord& record) {
  auto opened = co_await open_message(connector, settings, credential, record);
  if (!opened) co_return std::unexpected(opened.error());
  Session& s = *opened->session;
  const std::uint32_t uid = opened->uid;
  auto stored = co_await s.run_ok(s.commands().uid_store(uid, "+FLAGS.SILENT (\\Deleted)"));
  if (!stored) co_return std::unexpected(stored.error());
  // NB: never a plain EXPUNGE, which would also remove every other message
  // marked \Deleted in the mailbox.
  auto expunged = co_await s.run(s.commands().uid_expunge(uid));
  if (!expunged) co_return std::unexpected(expunged.error());
  if (!expunged->ok())
    co_return std::unexpected("server cannot safely expunge this message: " + expunged->done.text);
  co_await s.log_out();
  co_return std::expected<void, std::string>{};
}

}  // namespace mail
