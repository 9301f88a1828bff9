#include <algorithm>
#include <functional>
#include <optional>
#include <span>

#include "engine/imap_ops.h"
#include "mime/record_builder.h"

namespace mail {
namespace {

constexpr std::string_view not_found = "message not found on the server";
// Hits whose Message-ID is read back in one command; a search that finds
// thousands of messages takes several small commands, not one huge one.
constexpr std::size_t locate_batch = 100;
constexpr std::string_view message_id_items = "(UID BODY.PEEK[HEADER.FIELDS (MESSAGE-ID)])";

// The Message-ID of fetched header lines, read by the same code that read the
// record's from the whole message at refresh: folding, comments, angle
// brackets, encoded words and several Message-ID lines come out alike.
std::optional<std::string> header_message_id(std::string_view header_lines) {
  auto read = build_record(header_lines, FolderRole::Inbox, false, false, std::nullopt, 0);
  if (!read) return std::nullopt;
  return std::move(read->message_id);
}

// The highest UID of `batch` whose Message-ID equals `message_id` exactly.
asio::awaitable<std::expected<std::optional<std::uint32_t>, std::string>> highest_exact_match(
    Session& session, std::span<const std::uint32_t> batch, const std::string& message_id) {
  auto fetched = co_await session.uid_fetch(uid_set(batch), message_id_items);
  if (!fetched) co_return std::unexpected(fetched.error());
  std::optional<std::uint32_t> best;
  for (const imap::Fetch& f : *fetched) {
    // NB: only answers for the UIDs asked about count; an unsolicited FETCH
    // names some other message.
    if (!f.uid || (best && *f.uid <= *best) ||
        std::find(batch.begin(), batch.end(), *f.uid) == batch.end())
      continue;
    for (const imap::BodySection& body : f.bodies)
      if (body.data && header_message_id(*body.data) == message_id) {
        best = *f.uid;
        break;
      }
  }
  co_return best;
}

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
  auto hits = co_await session.uid_search(std::move(*command));
  if (!hits) co_return std::unexpected(hits.error());
  // NB: HEADER search matches every Message-ID that merely contains the text
  // ("123@x" finds "5123@x"), so each hit's own Message-ID is read back and
  // only an exact match counts. Hits are checked highest first in bounded
  // batches; the first batch holding a match holds the highest one.
  std::sort(hits->begin(), hits->end(), std::greater<>());
  hits->erase(std::unique(hits->begin(), hits->end()), hits->end());
  for (std::size_t at = 0; at < hits->size(); at += locate_batch) {
    const std::size_t n = std::min(locate_batch, hits->size() - at);
    auto match = co_await highest_exact_match(
        session, std::span<const std::uint32_t>(hits->data() + at, n), *record.message_id);
    if (!match) co_return std::unexpected(match.error());
    if (*match) co_return **match;
  }
  co_return std::unexpected(std::string(not_found));
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
