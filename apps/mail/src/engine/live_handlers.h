#pragma once
// The seams where submission and sign-in plug into the backends: one function
// per request kind that is not IMAP. Each sends its own results (Sent,
// SignedIn or Failed); the worker adds Completed.

#include "engine/engine.h"
#include "state/account_settings.h"

namespace mail {

// Live Send, called after the credential was resolved (live_send.cpp).
void live_send(EngineRequest::Send request, const Credential& credential,
               const ResultSender& results);

// Live OAuthSignIn (live_oauth.cpp).
void live_oauth_sign_in(EngineRequest::OAuthSignIn request, const ResultSender& results);

// Offline Send (offline_send.cpp).
void offline_send(EngineRequest::Send request, const ResultSender& results);

}  // namespace mail
