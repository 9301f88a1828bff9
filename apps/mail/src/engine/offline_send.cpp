// The offline answer to Send. Building the MIME message for the size check is
// not part of this build yet, so the request fails plainly.
#include "engine/live_handlers.h"

namespace mail {

void offline_send(EngineRequest::Send request, const ResultSender& results) {
  results.send(EngineResult::Failed{RequestKind::Send, request.id, "send",
                                    "SMTP is offline; building messages is not in this build yet"});
}

}  // namespace mail
