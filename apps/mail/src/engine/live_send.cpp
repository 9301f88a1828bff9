// Live submission of a Send request. SMTP submission is not part of this
// build yet, so the request fails plainly (never a pretend success).
#include "engine/live_handlers.h"

namespace mail {

void live_send(EngineRequest::Send request, const Credential& /*credential*/, const ResultSender& results) {
  results.send(EngineResult::Failed{RequestKind::Send, request.id, "smtp",
                                    "sending mail is not in this build yet"});
}

}  // namespace mail
