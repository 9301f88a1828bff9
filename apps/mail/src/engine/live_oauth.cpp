// Live OAuth sign-in. The client identifier must come from the environment;
// the browser sign-in itself is not part of this build yet.
#include <cstdlib>

#include "engine/live_handlers.h"

namespace mail {

void live_oauth_sign_in(EngineRequest::OAuthSignIn request, const ResultSender& results) {
  const char* variable = request.provider == OAuthProvider::Microsoft ? "ZARN_MAIL_MICROSOFT_CLIENT_ID"
                                                                      : "ZARN_MAIL_GOOGLE_CLIENT_ID";
  const char* value = std::getenv(variable);
  if (value == nullptr || *value == '\0') {
    results.send(EngineResult::Failed{RequestKind::OAuthSignIn, request.id, "oauth",
                                      "set " + std::string(variable) + " to sign in"});
    return;
  }
  results.send(EngineResult::Failed{RequestKind::OAuthSignIn, request.id, "oauth",
                                    "OAuth sign-in is not in this build yet"});
}

}  // namespace mail
