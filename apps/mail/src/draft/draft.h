#pragma once
// The draft record: the value in which a composition travels between the
// composer, the replicated document, the mail actions and the engine.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mail {

// Limits every holder of a draft enforces.
inline constexpr std::string_view attachment_id_prefix = "mail-attachment:blake3:";
inline constexpr std::size_t attachment_digest_hex_len = 64;
inline constexpr std::uint64_t max_attachment_bytes = 32ull * 1024 * 1024;  // inclusive
inline constexpr std::size_t max_attachments_per_draft = 16;
inline constexpr std::uint64_t max_draft_attachment_bytes = 128ull * 1024 * 1024;  // inclusive
inline constexpr std::size_t max_attachment_name_chars = 180;
inline constexpr std::size_t max_content_type_len = 127;  // shorter than 128
inline constexpr std::size_t max_invitation_bytes = 262144;

struct DraftAttachment {
  std::string content_id;  // "mail-attachment:blake3:" + 64 hex digits
  std::string filename;
  std::string mime;
  std::uint64_t size = 0;
  bool operator==(const DraftAttachment&) const = default;
};

struct DraftData {
  std::string to;
  std::string cc;
  std::string bcc;
  std::string subject;
  std::string body;                         // plain text (rich text's plain rendering)
  std::optional<std::string> html_body;     // rich-text mode only
  std::optional<std::string> calendar_ics;  // a bounded invitation only
  std::vector<DraftAttachment> attachments;
  bool operator==(const DraftData&) const = default;
};

// Keys "content_id", "filename", "mime", "size", in that order.
[[nodiscard]] nlohmann::ordered_json draft_attachment_to_json(const DraftAttachment& a);
[[nodiscard]] std::expected<DraftAttachment, std::string> draft_attachment_from_json(
    const nlohmann::json& j);

// Keys "to", "cc", "bcc", "subject", "body", ["html_body"], ["calendar_ics"],
// "attachments", in that order; absent optionals are left out.
[[nodiscard]] nlohmann::ordered_json draft_to_json(const DraftData& draft);
// A missing key or a value of the wrong type is an error; a missing or null
// "html_body" / "calendar_ics" reads as absent.
[[nodiscard]] std::expected<DraftData, std::string> draft_from_json(const nlohmann::json& j);

// A content type made safe: trimmed, printable ASCII without space, quote or
// backslash, at most 127 characters, with an inner "/"; otherwise
// "application/octet-stream".
[[nodiscard]] std::string sanitize_content_type(std::string_view type);

}  // namespace mail
