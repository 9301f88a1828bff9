// Live submission of a Send request: the message is built from the account's
// name and address and the draft, then submitted over SMTP.
#include "compose/message.h"
#include "engine/live_handlers.h"
#include "submission/submission.h"

namespace mail {

void live_send(EngineRequest::Send request, const Credential& credential,
               const ResultSender& results) {
  const AccountSettings& account = request.account;
  const Address from{account.email, account.display_name.empty()
                                        ? std::nullopt
                                        : std::optional<std::string>(account.display_name)};
  auto mime = build_message(from, request.draft);
  if (!mime) {
    results.send(EngineResult::Failed{RequestKind::Send, request.id, "smtp", mime.error()});
    return;
  }
  auto sent = send_message(account, credential, request.draft, *mime);
  if (!sent) {
    results.send(EngineResult::Failed{RequestKind::Send, request.id, "smtp", sent.error()});
    return;
  }
  results.send(EngineResult::Sent{*sent, request.id});
}

}  // namespace mail
