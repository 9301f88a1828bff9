#pragma once
// The engine's request and result messages. Every request carries a random
// version-4 UUID made by the requester; every result carries the id of the
// request it answers. The kind of a request is the index of its variant.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "draft/draft.h"
#include "oauth/provider.h"
#include "record/folder.h"
#include "record/record.h"
#include "record/uuid.h"
#include "state/account_settings.h"

namespace mail {

using RequestId = Uuid;

// A fresh random request id.
[[nodiscard]] RequestId new_request_id();

enum class RequestKind : std::uint8_t {
  Connect = 0,
  Refresh = 1,
  SyncFlags = 2,
  Move = 3,
  Purge = 4,
  Send = 5,
  OAuthSignIn = 6,
};

// OAuthProvider (one byte: 0 Google, 1 Microsoft) comes from oauth/provider.h.

struct EngineRequest {
  struct Connect {
    AccountSettings account;
    RequestId id;
  };
  struct Refresh {
    AccountSettings account;
    RequestId id;
    FolderRole folder = FolderRole::Inbox;
  };
  // `message.read` and `message.starred` hold the wanted state.
  struct SyncFlags {
    AccountSettings account;
    MessageRecord message;
    RequestId id;
  };
  // `message.folder` is still the folder the message is moved from.
  struct Move {
    AccountSettings account;
    MessageRecord message;
    FolderRole target = FolderRole::Inbox;
    RequestId id;
  };
  struct Purge {
    AccountSettings account;
    MessageRecord message;
    RequestId id;
  };
  struct Send {
    AccountSettings account;
    DraftData draft;
    RequestId id;
  };
  struct OAuthSignIn {
    std::string email;
    std::string login_hint;
    OAuthProvider provider = OAuthProvider::Google;
    RequestId id;
  };

  using Variant = std::variant<Connect, Refresh, SyncFlags, Move, Purge, Send, OAuthSignIn>;
  Variant value;

  template <typename T>
  requires std::is_constructible_v<Variant, T&&> EngineRequest(T&& v)
      : value(std::forward<T>(v)) {}  // NOLINT: implicit by design

  [[nodiscard]] RequestId id() const;
  [[nodiscard]] RequestKind kind() const { return static_cast<RequestKind>(value.index()); }
};

struct EngineResult {
  struct Connected {
    RequestId id;
    std::string email;
  };
  struct FoldersListed {
    RequestId id;
    std::string email;
    std::vector<std::string> folders;
  };
  struct Refreshed {
    FolderRole folder = FolderRole::Inbox;
    RequestId id;
    std::string email;
    std::vector<MessageRecord> messages;
  };
  struct Sent {
    std::uint64_t bytes = 0;
    RequestId id;
  };
  struct SignedIn {
    RequestId id;
    std::string email;
  };
  struct Failed {
    RequestKind kind = RequestKind::Connect;
    RequestId id;
    std::string operation;
    std::string message;
  };
  struct Completed {
    RequestId id;
    RequestKind kind = RequestKind::Connect;
  };

  using Variant =
      std::variant<Connected, FoldersListed, Refreshed, Sent, SignedIn, Failed, Completed>;
  Variant value;

  template <typename T>
  requires std::is_constructible_v<Variant, T&&> EngineResult(T&& v)
      : value(std::forward<T>(v)) {}  // NOLINT: implicit by design

  [[nodiscard]] RequestId id() const;
  // The variant's tag, 0–6.
  [[nodiscard]] std::size_t tag() const { return value.index(); }
};

// "connect", "fetch", "flag", "move", "purge", "smtp", "oauth": the operation
// named in a live failure of each request kind.
[[nodiscard]] std::string_view live_operation(RequestKind kind);

// Variant names, for logs and the command-line tool.
[[nodiscard]] std::string_view request_kind_name(RequestKind kind);
[[nodiscard]] std::string_view result_name(const EngineResult& result);

}  // namespace mail
