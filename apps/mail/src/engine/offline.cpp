#include "engine/engine.h"
#include "engine/live_handlers.h"

namespace mail {

void OfflineBackend::handle(EngineRequest request, const ResultSender& results) {
  const RequestId id = request.id();
  const RequestKind kind = request.kind();
  auto fail = [&](std::string operation, std::string message) {
    results.send(EngineResult::Failed{kind, id, std::move(operation), std::move(message)});
  };
  std::visit(
      [&](auto& r) {
        using T = std::decay_t<decltype(r)>;
        if constexpr (std::is_same_v<T, EngineRequest::Connect>) {
          fail("offline", "IMAP is unavailable for " + r.account.email +
                              "; rebuild with the live mail backend to connect");
        } else if constexpr (std::is_same_v<T, EngineRequest::Refresh>) {
          fail("offline", "Cannot refresh " + std::string(folder_display_name(r.folder)) + " for " +
                              r.account.email + " while IMAP is offline");
        } else if constexpr (std::is_same_v<T, EngineRequest::SyncFlags> ||
                             std::is_same_v<T, EngineRequest::Move> ||
                             std::is_same_v<T, EngineRequest::Purge>) {
          fail("offline", "Local change saved; it was not synchronized to IMAP");
        } else if constexpr (std::is_same_v<T, EngineRequest::Send>) {
          offline_send(std::move(r), results);
        } else {
          fail("oauth", "OAuth sign-in for " + r.email + " requires the live build");
        }
      },
      request.value);
}

}  // namespace mail
