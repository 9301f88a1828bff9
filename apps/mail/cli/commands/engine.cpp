// Engine subcommands: each runs one request through the real worker and
// prints every EngineResult as one JSON line; exit 1 when a Failed came back.
#include "engine/engine.h"

#include <iostream>
#include <nlohmann/json.hpp>

#include "account_file.h"
#include "command.h"
#include "record/folder.h"

namespace {

using nlohmann::ordered_json;

ordered_json address_json(const mail::Address& a) {
  ordered_json j{{"email", a.email}};
  j["name"] = a.name ? ordered_json(*a.name) : ordered_json(nullptr);
  return j;
}

template <typename T>
ordered_json opt(const std::optional<T>& v) {
  return v ? ordered_json(*v) : ordered_json(nullptr);
}

ordered_json record_json(const mail::MessageRecord& r) {
  ordered_json to = ordered_json::array(), cc = ordered_json::array(),
               attachments = ordered_json::array();
  for (const auto& a : r.to) to.push_back(address_json(a));
  for (const auto& a : r.cc) cc.push_back(address_json(a));
  for (const auto& a : r.attachments)
    attachments.push_back(
        {{"filename", a.filename}, {"content_type", a.content_type}, {"size", a.size}});
  return {{"id", r.id.to_string()},
          {"folder", mail::folder_key(r.folder)},
          {"date", r.date},
          {"read", r.read},
          {"starred", r.starred},
          {"from", address_json(r.from)},
          {"to", to},
          {"cc", cc},
          {"subject", r.subject},
          {"message_id", opt(r.message_id)},
          {"in_reply_to", opt(r.in_reply_to)},
          {"text", r.text},
          {"has_html", r.html.has_value()},
          {"attachments", attachments}};
}

ordered_json result_json(const mail::EngineResult& result) {
  ordered_json j{{"result", mail::result_name(result)}, {"id", result.id().to_string()}};
  std::visit(
      [&](const auto& r) {
        using T = std::decay_t<decltype(r)>;
        using R = mail::EngineResult;
        if constexpr (std::is_same_v<T, R::Connected> || std::is_same_v<T, R::SignedIn>) {
          j["email"] = r.email;
        } else if constexpr (std::is_same_v<T, R::FoldersListed>) {
          j["email"] = r.email;
          j["folders"] = r.folders;
        } else if constexpr (std::is_same_v<T, R::Refreshed>) {
          j["folder"] = mail::folder_key(r.folder);
          j["email"] = r.email;
          ordered_json messages = ordered_json::array();
          for (const auto& m : r.messages) messages.push_back(record_json(m));
          j["messages"] = std::move(messages);
        } else if constexpr (std::is_same_v<T, R::Sent>) {
          j["bytes"] = r.bytes;
        } else if constexpr (std::is_same_v<T, R::Failed>) {
          j["kind"] = static_cast<int>(r.kind);
          j["operation"] = r.operation;
          j["message"] = r.message;
        } else if constexpr (std::is_same_v<T, R::Completed>) {
          j["kind"] = static_cast<int>(r.kind);
        }
      },
      result.value);
  return j;
}

// Runs one request on a freshly started engine; prints its answers.
int run(mail::EngineRequest request) {
  const mail::RequestId id = request.id();
  mail::EngineHandle engine = mail::start();
  if (!engine.submit(std::move(request))) {
    std::cerr << "zarn-mail-cli: Mail worker is unavailable\n";
    return 1;
  }
  bool failed = false;
  while (auto r = engine.wait()) {
    std::cout << result_json(*r).dump() << "\n" << std::flush;
    if (std::holds_alternative<mail::EngineResult::Failed>(r->value)) failed = true;
    if (std::holds_alternative<mail::EngineResult::Completed>(r->value) && r->id() == id) break;
  }
  return failed ? 1 : 0;
}

int usage(const char* text) {
  std::cerr << "usage: zarn-mail-cli " << text << "\n";
  return 2;
}

std::optional<mail::AccountSettings> account(const std::string& path) {
  auto a = cli::read_account_file(path);
  if (!a) {
    std::cerr << "zarn-mail-cli: " << path << ": " << a.error() << "\n";
    return std::nullopt;
  }
  return *a;
}

std::optional<mail::FolderRole> folder(const std::string& key) {
  auto role = mail::parse_folder_key(key);
  if (!role)
    std::cerr << "zarn-mail-cli: unknown folder \"" << key
              << "\" (inbox, starred, sent, drafts, archive, trash, junk)\n";
  return role;
}

// A record that carries what the operations read: Message-ID and folder.
mail::MessageRecord record(mail::FolderRole role, std::string message_id) {
  if (message_id.size() >= 2 && message_id.front() == '<' && message_id.back() == '>')
    message_id = message_id.substr(1, message_id.size() - 2);
  mail::MessageRecord r;
  r.folder = role;
  r.message_id = std::move(message_id);
  return r;
}

std::optional<bool> boolean(const std::string& text) {
  if (text == "true") return true;
  if (text == "false") return false;
  return std::nullopt;
}

constexpr const char* connect_usage = "connect ACCOUNT.json";
constexpr const char* refresh_usage = "refresh ACCOUNT.json FOLDER";
constexpr const char* flag_usage =
    "flag ACCOUNT.json FOLDER MESSAGE-ID --read true|false --starred true|false";
constexpr const char* move_usage = "move ACCOUNT.json FOLDER MESSAGE-ID TARGET-FOLDER";
constexpr const char* purge_usage = "purge ACCOUNT.json MESSAGE-ID";

int run_connect(std::span<const std::string> args) {
  if (args.size() != 1) return usage(connect_usage);
  auto a = account(args[0]);
  if (!a) return 2;
  return run(mail::EngineRequest::Connect{*a, mail::new_request_id()});
}

int run_refresh(std::span<const std::string> args) {
  if (args.size() != 2) return usage(refresh_usage);
  auto a = account(args[0]);
  auto f = folder(args[1]);
  if (!a || !f) return 2;
  return run(mail::EngineRequest::Refresh{*a, mail::new_request_id(), *f});
}

int run_flag(std::span<const std::string> args) {
  if (args.size() != 7) return usage(flag_usage);
  std::optional<bool> read, starred;
  for (std::size_t i = 3; i + 1 < args.size(); i += 2) {
    if (args[i] == "--read")
      read = boolean(args[i + 1]);
    else if (args[i] == "--starred")
      starred = boolean(args[i + 1]);
    else
      return usage(flag_usage);
  }
  if (!read || !starred) return usage(flag_usage);
  auto a = account(args[0]);
  auto f = folder(args[1]);
  if (!a || !f) return 2;
  mail::MessageRecord r = record(*f, args[2]);
  r.read = *read;
  r.starred = *starred;
  return run(mail::EngineRequest::SyncFlags{*a, std::move(r), mail::new_request_id()});
}

int run_move(std::span<const std::string> args) {
  if (args.size() != 4) return usage(move_usage);
  auto a = account(args[0]);
  auto from = folder(args[1]);
  auto to = folder(args[3]);
  if (!a || !from || !to) return 2;
  return run(mail::EngineRequest::Move{*a, record(*from, args[2]), *to, mail::new_request_id()});
}

int run_purge(std::span<const std::string> args) {
  if (args.size() != 2) return usage(purge_usage);
  auto a = account(args[0]);
  if (!a) return 2;
  return run(mail::EngineRequest::Purge{*a, record(mail::FolderRole::Trash, args[1]),
                                        mail::new_request_id()});
}

const cli::Registration connect_reg{"connect", connect_usage, run_connect};
const cli::Registration refresh_reg{"refresh", refresh_usage, run_refresh};
const cli::Registration flag_reg{"flag", flag_usage, run_flag};
const cli::Registration move_reg{"move", move_usage, run_move};
const cli::Registration purge_reg{"purge", purge_usage, run_purge};

}  // namespace
