#include "draft/draft.h"

#include <array>
#include <utility>

#include "text_codec/ascii.h"
#include "text_codec/json_read.h"

namespace mail {
using nlohmann::json;
using nlohmann::ordered_json;

ordered_json draft_attachment_to_json(const DraftAttachment& a) {
  ordered_json j = ordered_json::object();
  j["content_id"] = a.content_id;
  j["filename"] = a.filename;
  j["mime"] = a.mime;
  j["size"] = a.size;
  return j;
}

std::expected<DraftAttachment, std::string> draft_attachment_from_json(const json& j) {
  if (!j.is_object())
    return std::unexpected(text_codec::json_read::invalid_type(j, "struct DraftAttachment"));
  DraftAttachment a;
  auto content_id = text_codec::json_read::get_string(j, "content_id");
  if (!content_id) return std::unexpected(content_id.error());
  auto filename = text_codec::json_read::get_string(j, "filename");
  if (!filename) return std::unexpected(filename.error());
  auto mime = text_codec::json_read::get_string(j, "mime");
  if (!mime) return std::unexpected(mime.error());
  auto size = text_codec::json_read::get_u64(j, "size");
  if (!size) return std::unexpected(size.error());
  a.content_id = std::move(*content_id);
  a.filename = std::move(*filename);
  a.mime = std::move(*mime);
  a.size = *size;
  return a;
}

ordered_json draft_to_json(const DraftData& d) {
  ordered_json j = ordered_json::object();
  j["to"] = d.to;
  j["cc"] = d.cc;
  j["bcc"] = d.bcc;
  j["subject"] = d.subject;
  j["body"] = d.body;
  if (d.html_body) j["html_body"] = *d.html_body;
  if (d.calendar_ics) j["calendar_ics"] = *d.calendar_ics;
  ordered_json list = ordered_json::array();
  for (const auto& a : d.attachments) list.push_back(draft_attachment_to_json(a));
  j["attachments"] = std::move(list);
  return j;
}

namespace {
std::expected<std::optional<std::string>, std::string> optional_string(const json& j,
                                                                       std::string_view key) {
  auto it = j.find(key);
  if (it == j.end() || it->is_null()) return std::optional<std::string>{};
  auto s = text_codec::json_read::as_string(*it);
  if (!s) return std::unexpected(s.error());
  return std::optional<std::string>{std::move(*s)};
}
}  // namespace

std::expected<DraftData, std::string> draft_from_json(const json& j) {
  if (!j.is_object())
    return std::unexpected(text_codec::json_read::invalid_type(j, "struct DraftData"));
  DraftData d;
  std::array<std::pair<std::string_view, std::string*>, 5> texts{
      {{"to", &d.to}, {"cc", &d.cc}, {"bcc", &d.bcc}, {"subject", &d.subject}, {"body", &d.body}}};
  for (auto& [key, field] : texts) {
    auto s = text_codec::json_read::get_string(j, key);
    if (!s) return std::unexpected(s.error());
    *field = std::move(*s);
  }
  auto html = optional_string(j, "html_body");
  if (!html) return std::unexpected(html.error());
  d.html_body = std::move(*html);
  auto ics = optional_string(j, "calendar_ics");
  if (!ics) return std::unexpected(ics.error());
  d.calendar_ics = std::move(*ics);
  auto it = j.find("attachments");
  if (it == j.end()) return std::unexpected(text_codec::json_read::missing_field("attachments"));
  if (!it->is_array())
    return std::unexpected(text_codec::json_read::invalid_type(*it, "a sequence"));
  d.attachments.reserve(it->size());
  for (const auto& item : *it) {
    auto a = draft_attachment_from_json(item);
    if (!a) return std::unexpected(a.error());
    d.attachments.push_back(std::move(*a));
  }
  return d;
}

namespace {
constexpr std::string_view octet_stream = "application/octet-stream";
}  // namespace

std::string sanitize_content_type(std::string_view type) {
  std::string out;
  for (char c : text_codec::trim(type)) {
    if (out.size() >= max_content_type_len) break;
    if (c >= '!' && c <= '~' && c != '"' && c != '\\') out.push_back(c);
  }
  if (out.find('/') == std::string::npos || out.front() == '/' || out.back() == '/') {
    return std::string(octet_stream);
  }
  return out;
}

}  // namespace mail
