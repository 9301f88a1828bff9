#pragma once
// Opening URLs outside the application.

#include <expected>
#include <string>

namespace zarn_ui::link {

// Hands `url` to the desktop's URL opener (xdg-open) without waiting for it;
// an error when the opener cannot be started.
[[nodiscard]] std::expected<void, std::string> try_os_open(const std::string& url);

}  // namespace zarn_ui::link
