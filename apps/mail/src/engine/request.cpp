#include "engine/request.h"

namespace mail {

RequestId new_request_id() {
  return Uuid::random_v4();
}

RequestId EngineRequest::id() const {
  return std::visit([](const auto& r) { return r.id; }, value);
}

RequestId EngineResult::id() const {
  return std::visit([](const auto& r) { return r.id; }, value);
}

std::string_view live_operation(RequestKind kind) {
  switch (kind) {
    case RequestKind::Connect:
      return "connect";
    case RequestKind::Refresh:
      return "fetch";
    case RequestKind::SyncFlags:
      return "flag";
    case RequestKind::Move:
      return "move";
    case RequestKind::Purge:
      return "purge";
    case RequestKind::Send:
      return "smtp";
    case RequestKind::OAuthSignIn:
      return "oauth";
  }
  return "unknown";
}

std::string_view request_kind_name(RequestKind kind) {
  switch (kind) {
    case RequestKind::Connect:
      return "Connect";
    case RequestKind::Refresh:
      return "Refresh";
    case RequestKind::SyncFlags:
      return "SyncFlags";
    case RequestKind::Move:
      return "Move";
    case RequestKind::Purge:
      return "Purge";
    case RequestKind::Send:
      return "Send";
    case RequestKind::OAuthSignIn:
      return "OAuthSignIn";
  }
  return "Unknown";
}

std::string_view result_name(const EngineResult& result) {
  static constexpr std::string_view names[] = {"Connected", "FoldersListed", "Refreshed", "Sent",
                                               "SignedIn",  "Failed",        "Completed"};
  return names[result.value.index()];
}

}  // namespace mail
