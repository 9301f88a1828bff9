#include "validate/draft_checks.h"

#include <cctype>
#include <unordered_set>

namespace mail {

namespace {

bool is_hex(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

bool content_id_valid(std::string_view id) {
  if (!id.starts_with(attachment_id_prefix)) return false;
  const auto digest = id.substr(attachment_id_prefix.size());
  if (digest.size() != attachment_digest_hex_len) return false;
  for (char c : digest) {
    if (!is_hex(c)) return false;
  }
  return true;
}

// Characters as Unicode scalar values; a name that is not valid UTF-8 fails.
bool name_valid(std::string_view name) {
  if (name.empty()) return false;
  std::size_t chars = 0;
  for (std::size_t i = 0; i < name.size();) {
    const auto b = static_cast<unsigned char>(name[i]);
    std::uint32_t cp = 0;
    std::size_t len = 0;
    if (b < 0x80) {
      cp = b;
      len = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      len = 4;
    } else {
      return false;
    }
    if (i + len > name.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(name[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    const bool overlong =
        (len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    // Control characters: C0, DEL and C1.
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return false;
    if (cp == '/' || cp == '\\') return false;
    i += len;
    if (++chars > max_attachment_name_chars) return false;
  }
  return true;
}

}  // namespace

bool metadata_valid(const DraftAttachment& a) {
  return content_id_valid(a.content_id) && name_valid(a.filename) &&
         a.mime.size() <= max_content_type_len && a.mime.find('/') != std::string::npos &&
         a.size <= max_attachment_bytes;
}

std::vector<DraftAttachment> validate_list(const std::vector<DraftAttachment>& attachments) {
  std::vector<DraftAttachment> accepted;
  std::unordered_set<std::string> ids;
  std::uint64_t total = 0;
  for (const auto& a : attachments) {
    if (accepted.size() >= max_attachments_per_draft) break;
    if (!metadata_valid(a)) continue;
    // Sizes are at most 32 MiB each here, so the sum cannot overflow.
    if (total + a.size > max_draft_attachment_bytes) continue;
    if (ids.contains(a.content_id)) continue;
    total += a.size;
    ids.insert(a.content_id);
    accepted.push_back(a);
  }
  return accepted;
}

bool is_bounded_invitation(std::string_view text) {
  if (text.size() > max_invitation_bytes) return false;
  if (text.find('\0') != std::string_view::npos) return false;
  if (!text.starts_with("BEGIN:VCALENDAR\r\n")) return false;
  if (text.find("\r\nMETHOD:REQUEST\r\n") == std::string_view::npos) return false;
  const auto first = text.find("BEGIN:VEVENT");
  if (first == std::string_view::npos) return false;
  if (text.find("BEGIN:VEVENT", first + 1) != std::string_view::npos) return false;
  if (!text.ends_with("END:VCALENDAR\r\n")) return false;
  return true;
}

}  // namespace mail
