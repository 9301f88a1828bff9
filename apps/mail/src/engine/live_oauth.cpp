// Live OAuth sign-in: the browser sign-in with the provider's client id from
// the environment, then the tokens stored in the vault under the address.
#include "engine/live_handlers.h"
#include "oauth/sign_in.h"

namespace mail {

void live_oauth_sign_in(EngineRequest::OAuthSignIn request, const ResultSender& results) {
  auto stored = sign_in_and_store(request.provider, request.email, request.login_hint);
  if (!stored) {
    results.send(
        EngineResult::Failed{RequestKind::OAuthSignIn, request.id, "oauth", stored.error()});
    return;
  }
  results.send(EngineResult::SignedIn{request.id, request.email});
}

}  // namespace mail
