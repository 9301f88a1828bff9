// zarn-mail-cli send ACCOUNT.json DRAFT.json: sends the draft through the
// mail engine's worker, as the application does, and prints every engine
// result as one JSON line.
//   exit 0: sent; 1: the engine answered Failed; 2: usage or unreadable input.

#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "account_file.h"
#include "command.h"
#include "engine/engine.h"

namespace {

nlohmann::ordered_json result_json(const mail::EngineResult& r) {
  nlohmann::ordered_json j;
  j["result"] = std::string(mail::result_name(r));
  j["id"] = r.id().to_string();
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, mail::EngineResult::Sent>) {
          j["bytes"] = v.bytes;
        } else if constexpr (std::is_same_v<T, mail::EngineResult::Failed>) {
          j["kind"] = static_cast<int>(v.kind);
          j["operation"] = v.operation;
          j["message"] = v.message;
        } else if constexpr (std::is_same_v<T, mail::EngineResult::Completed>) {
          j["kind"] = static_cast<int>(v.kind);
        }
      },
      r.value);
  return j;
}

int run_send(std::span<const std::string> args) {
  if (args.size() != 2) {
    std::cerr << "usage: zarn-mail-cli send ACCOUNT.json DRAFT.json\n";
    return 2;
  }
  auto account = cli::read_account_file(args[0]);
  if (!account) {
    std::cerr << account.error() << "\n";
    return 2;
  }
  std::ifstream in(args[1], std::ios::binary);
  if (!in) {
    std::cerr << "cannot open " << args[1] << "\n";
    return 2;
  }
  std::ostringstream buf;
  buf << in.rdbuf();
  auto j = nlohmann::json::parse(buf.str(), nullptr, false);
  if (j.is_discarded()) {
    std::cerr << args[1] << " is not JSON\n";
    return 2;
  }
  auto draft = mail::draft_from_json(j);
  if (!draft) {
    std::cerr << draft.error() << "\n";
    return 2;
  }

  mail::EngineHandle engine = mail::start();
  const mail::RequestId id = mail::new_request_id();
  if (!engine.submit(mail::EngineRequest::Send{*account, *draft, id})) {
    std::cerr << "Mail worker is unavailable\n";
    return 1;
  }
  bool failed = false;
  while (auto result = engine.wait()) {
    std::cout << result_json(*result).dump() << "\n" << std::flush;
    if (std::holds_alternative<mail::EngineResult::Failed>(result->value)) failed = true;
    if (std::holds_alternative<mail::EngineResult::Completed>(result->value) && result->id() == id)
      break;
  }
  return failed ? 1 : 0;
}

const cli::Registration reg{"send", "send ACCOUNT.json DRAFT.json", run_send};

}  // namespace
