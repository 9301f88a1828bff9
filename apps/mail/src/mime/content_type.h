#pragma once
// Content types guessed from file names, for attachments that arrive without
// one and for files a user attaches.

#include <string>
#include <string_view>

namespace mail {

// Content type for a file name by its last extension (ASCII case-insensitive),
// "application/octet-stream" when unknown.
[[nodiscard]] std::string mime_from_name(std::string_view file_name);

}  // namespace mail
