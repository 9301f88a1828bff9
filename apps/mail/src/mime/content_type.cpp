#include "mime/content_type.h"

#include <array>

#include "text_codec/ascii.h"

namespace mail {
namespace {

struct MimeEntry {
  std::string_view ext;
  std::string_view type;
};
constexpr std::array<MimeEntry, 24> mime_table{{
    {"pdf", "application/pdf"},
    {"png", "image/png"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"gif", "image/gif"},
    {"svg", "image/svg+xml"},
    {"txt", "text/plain"},
    {"log", "text/plain"},
    {"md", "text/markdown"},
    {"csv", "text/csv"},
    {"html", "text/html"},
    {"htm", "text/html"},
    {"ics", "text/calendar"},
    {"zip", "application/zip"},
    {"tar", "application/x-tar"},
    {"gz", "application/gzip"},
    {"doc", "application/msword"},
    {"docx", "application/msword"},
    {"xls", "application/vnd.ms-excel"},
    {"xlsx", "application/vnd.ms-excel"},
    {"ppt", "application/vnd.ms-powerpoint"},
    {"pptx", "application/vnd.ms-powerpoint"},
    {"json", "application/json"},
    {"", ""},
}};

}  // namespace

std::string mime_from_name(std::string_view name) {
  const auto dot = name.rfind('.');
  const std::string ext =
      text_codec::to_lower(dot == std::string_view::npos ? name : name.substr(dot + 1));
  for (const auto& entry : mime_table) {
    if (!entry.ext.empty() && entry.ext == ext) return std::string(entry.type);
  }
  return "application/octet-stream";
}

}  // namespace mail
