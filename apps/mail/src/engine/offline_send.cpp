// The offline answer to Send: the message is built exactly as the live
// backend would build it, and only its size is reported.
#include "compose/message.h"
#include "engine/live_handlers.h"

namespace mail {

void offline_send(EngineRequest::Send request, const ResultSender& results) {
  const AccountSettings& account = request.account;
  const Address from{account.email, account.display_name.empty()
                                        ? std::nullopt
                                        : std::optional<std::string>(account.display_name)};
  auto mime = build_message(from, request.draft);
  std::string message = mime ? "SMTP is offline; validated " + std::to_string(mime->size()) +
                                   " MIME bytes locally but did not send"
                             : mime.error();
  results.send(EngineResult::Failed{RequestKind::Send, request.id, "send", std::move(message)});
}

}  // namespace mail
