#pragma once
// The two verbs Mail exchanges with the suite and its own shell: MailAction
// (a change to mail data) and MailOperation (a request that changes none).
// Both travel as externally tagged JSON: a variant with fields is
// {"Name":{fields…}}, a variant without fields is the bare string "Name".
// Message ids are UUID texts in the usual hyphenated form.

#include <cstdint>
#include <expected>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "draft/draft.h"

namespace mail {

inline constexpr const char* mail_action_type = "mail.action";
inline constexpr const char* mail_operation_type = "mail.operation";

struct MailAction {
  struct SetRead {
    std::vector<std::string> ids;
    bool read = false;
    bool operator==(const SetRead&) const = default;
  };
  struct SetStarred {
    std::vector<std::string> ids;
    bool starred = false;
    bool operator==(const SetStarred&) const = default;
  };
  struct Move {
    std::vector<std::string> ids;
    std::string folder;  // a folder role key ("inbox", "archive", …)
    bool operator==(const Move&) const = default;
  };
  struct Purge {
    std::vector<std::string> ids;
    bool operator==(const Purge&) const = default;
  };
  struct AddLabel {
    std::vector<std::string> ids;
    std::string label;
    bool operator==(const AddLabel&) const = default;
  };
  struct RemoveLabel {
    std::vector<std::string> ids;
    std::string label;
    bool operator==(const RemoveLabel&) const = default;
  };
  struct CreateFolder {
    std::string id;
    std::string name;
    bool operator==(const CreateFolder&) const = default;
  };
  struct RenameFolder {
    std::string id;
    std::string name;
    bool operator==(const RenameFolder&) const = default;
  };
  struct DeleteFolder {
    std::string id;
    bool operator==(const DeleteFolder&) const = default;
  };
  struct SaveDraft {
    DraftData draft;
    bool operator==(const SaveDraft&) const = default;
  };
  struct DiscardDraft {
    bool operator==(const DiscardDraft&) const = default;
  };

  using Variant = std::variant<SetRead, SetStarred, Move, Purge, AddLabel, RemoveLabel,
                               CreateFolder, RenameFolder, DeleteFolder, SaveDraft, DiscardDraft>;
  Variant value;

  // The variant's name as serialised ("SetRead" …).
  [[nodiscard]] std::string_view name() const;
  bool operator==(const MailAction&) const = default;
};

struct MailOperation {
  struct ComposeNew {
    bool operator==(const ComposeNew&) const = default;
  };
  struct RefreshCurrentFolder {
    bool operator==(const RefreshCurrentFolder&) const = default;
  };
  struct RevealFolder {
    std::string folder;
    bool operator==(const RevealFolder&) const = default;
  };
  struct RevealAccount {
    std::string id;  // account id
    bool operator==(const RevealAccount&) const = default;
  };
  struct RevealMessage {
    std::string id;
    bool operator==(const RevealMessage&) const = default;
  };
  struct InspectMessage {
    std::string id;
    bool operator==(const InspectMessage&) const = default;
  };
  struct Reply {
    std::string id;
    bool operator==(const Reply&) const = default;
  };
  struct ReplyAll {
    std::string id;
    bool operator==(const ReplyAll&) const = default;
  };
  struct Forward {
    std::string id;
    bool operator==(const Forward&) const = default;
  };
  struct RevealDraft {
    bool operator==(const RevealDraft&) const = default;
  };
  struct SaveAttachment {
    std::string message_id;
    std::uint64_t index = 0;
    bool operator==(const SaveAttachment&) const = default;
  };
  struct PrepareCalendarInvitation {
    std::string to;
    std::string subject;
    std::string body;
    std::string calendar_ics;
    bool operator==(const PrepareCalendarInvitation&) const = default;
  };

  using Variant = std::variant<ComposeNew, RefreshCurrentFolder, RevealFolder, RevealAccount,
                               RevealMessage, InspectMessage, Reply, ReplyAll, Forward, RevealDraft,
                               SaveAttachment, PrepareCalendarInvitation>;
  Variant value;

  [[nodiscard]] std::string_view name() const;
  bool operator==(const MailOperation&) const = default;
};

// Encoding always succeeds.
[[nodiscard]] nlohmann::ordered_json mail_action_to_json(const MailAction& action);
[[nodiscard]] nlohmann::ordered_json mail_operation_to_json(const MailOperation& operation);
[[nodiscard]] std::string encode_mail_action(const MailAction& action);           // compact
[[nodiscard]] std::string encode_mail_operation(const MailOperation& operation);  // compact

// Decoding: an unknown (or differently cased) variant name, a missing field
// or a value of the wrong kind is an error whose text is the parser's message.
[[nodiscard]] std::expected<MailAction, std::string> mail_action_from_json(const nlohmann::json& j);
[[nodiscard]] std::expected<MailOperation, std::string> mail_operation_from_json(
    const nlohmann::json& j);
[[nodiscard]] std::expected<MailAction, std::string> decode_mail_action(std::string_view text);
[[nodiscard]] std::expected<MailOperation, std::string> decode_mail_operation(
    std::string_view text);

// Whether a variant name (case-sensitive) belongs to the verb.
[[nodiscard]] bool is_mail_action_name(std::string_view name);
[[nodiscard]] bool is_mail_operation_name(std::string_view name);

// Whether text is a UUID in hyphenated form (8-4-4-4-12 hex digits, any case).
[[nodiscard]] bool is_uuid_text(std::string_view text);

}  // namespace mail
