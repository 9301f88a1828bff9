#include <algorithm>
#include <chrono>

#include "connection/connection_error.h"
#include "engine/imap_ops.h"
#include "mime/record_builder.h"
#include "text_codec/ascii.h"
#include "tls/tls.h"

namespace mail {

MailboxQuery mailbox_query(FolderRole role) {
  switch (role) {
    case FolderRole::Inbox:
      return {"INBOX", "ALL"};
    case FolderRole::Starred:
      return {"INBOX", "FLAGGED"};
    case FolderRole::Sent:
      return {"Sent", "ALL"};
    case FolderRole::Drafts:
      return {"Drafts", "ALL"};
    case FolderRole::Archive:
      return {"Archive", "ALL"};
    case FolderRole::Trash:
      return {"Trash", "ALL"};
    case FolderRole::Junk:
      return {"Junk", "ALL"};
  }
  return {"INBOX", "ALL"};
}

std::vector<std::uint32_t> newest_uids(std::vector<std::uint32_t> uids) {
  // NB: a large mailbox answers with millions of UIDs; only the highest few
  // are sorted. The k largest hold the 50 highest distinct values unless
  // duplicates crowd them out, in which case k grows.
  for (std::size_t k = fetch_batch;; k *= 2) {
    const bool all = k >= uids.size();
    const auto end = all ? uids.end() : uids.begin() + static_cast<std::ptrdiff_t>(k);
    if (!all) std::nth_element(uids.begin(), end, uids.end(), std::greater<>());
    std::vector<std::uint32_t> top(uids.begin(), end);
    std::sort(top.begin(), top.end(), std::greater<>());
    top.erase(std::unique(top.begin(), top.end()), top.end());
    if (all || top.size() >= fetch_batch) {
      if (top.size() > fetch_batch) top.resize(fetch_batch);
      return top;
    }
  }
}

std::string uid_set(std::span<const std::uint32_t> uids) {
  std::string out;
  for (std::uint32_t uid : uids) {
    if (!out.empty()) out.push_back(',');
    out += std::to_string(uid);
  }
  return out;
}

std::int64_t current_minute() {
  using namespace std::chrono;
  return duration_cast<minutes>(system_clock::now().time_since_epoch()).count();
}

namespace {

using text_codec::trim;

bool has_flag(const std::optional<std::vector<std::string>>& flags, std::string_view flag) {
  if (!flags) return false;
  for (const auto& f : *flags)
    if (text_codec::iequals(f, flag)) return true;
  return false;
}

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// The records of one batch of FETCH responses, in the order the server sent
// them; responses without a body and unreadable messages are skipped.
void add_records(std::vector<imap::Fetch>& fetched, FolderRole role, std::int64_t now_minutes,
                 std::vector<MessageRecord>& records) {
  for (imap::Fetch& f : fetched) {
    imap::BodySection* body = nullptr;
    for (auto& b : f.bodies)
      if (b.data) {
        body = &b;
        break;
      }
    if (body == nullptr) continue;  // a flags-only update, or NIL
    std::optional<std::int64_t> date;
    if (f.internal_date) date = floor_div(*f.internal_date, 60);
    auto record = build_record(*body->data, role, has_flag(f.flags, "\\Seen"),
                               has_flag(f.flags, "\\Flagged"), date, now_minutes);
    if (record) records.push_back(std::move(*record));  // an unreadable message is skipped
    body->data.reset();                                 // free the source early
  }
}

}  // namespace

asio::awaitable<std::expected<std::unique_ptr<Session>, std::string>> connect_and_log_in(
    Connector& connector, const AccountSettings& settings, const Credential& credential) {
  const std::string host(trim(settings.imap_host));
  if (host.empty()) co_return std::unexpected(std::string("no IMAP host"));
  const std::uint16_t port = settings.imap_port == 0 ? default_imap_port : settings.imap_port;
  auto transport = co_await connector.connect(host, port);
  if (!transport) {
    const ConnectError& e = transport.error();
    if (e.stage == ConnectError::Stage::ServerName)
      co_return std::unexpected("invalid IMAP host name: " + e.text);
    co_return std::unexpected(describe_connection_error(e.text));
  }
  // NB: the greeting is not awaited; it arrives as an untagged response
  // while the answer to the log-in is read.
  auto session = std::make_unique<Session>(std::move(*transport), connector.session_limits());
  auto logged_in = co_await session->log_in(credential);
  if (!logged_in) co_return std::unexpected(describe_connection_error(logged_in.error()));
  co_return session;
}

asio::awaitable<std::expected<std::vector<std::string>, std::string>> list_folders(
    Connector& connector, const AccountSettings& settings, const Credential& credential) {
  auto session = co_await connect_and_log_in(connector, settings, credential);
  if (!session) co_return std::unexpected(session.error());
  auto names = co_await (*session)->list("", "*");
  if (!names) co_return std::unexpected(names.error());
  co_await (*session)->log_out();
  co_return names;
}

asio::awaitable<std::expected<std::vector<MessageRecord>, std::string>> fetch_folder(
    Connector& connector, const AccountSettings& settings, const Credential& credential,
    FolderRole role, std::int64_t now_minutes) {
  const MailboxQuery query = mailbox_query(role);
  auto opened = co_await connect_and_log_in(connector, settings, credential);
  if (!opened) co_return std::unexpected(opened.error());
  Session& session = **opened;
  if (auto s = co_await session.select(query.mailbox); !s) co_return std::unexpected(s.error());
  auto uids = co_await session.uid_search(session.commands().uid_search(query.criteria));
  if (!uids) co_return std::unexpected(uids.error());
  std::vector<MessageRecord> records;
  if (uids->empty()) {
    co_await session.log_out();
    co_return records;
  }
  const std::vector<std::uint32_t> newest = newest_uids(std::move(*uids));
  records.reserve(newest.size());
  const std::span<const std::uint32_t> all(newest);
  for (std::size_t i = 0; i < all.size(); i += body_batch) {
    const auto batch = all.subspan(i, std::min(body_batch, all.size() - i));
    auto fetched = co_await session.uid_fetch(uid_set(batch), fetch_items);
    if (!fetched) co_return std::unexpected(fetched.error());
    add_records(*fetched, role, now_minutes, records);
  }
  co_await session.log_out();
  co_return records;
}

}  // namespace mail
