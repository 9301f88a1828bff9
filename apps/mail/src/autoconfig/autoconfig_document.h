#pragma once
// Reading a mail autoconfiguration document ("config-v1.1.xml"). This is a
// deliberately small text reader, not an XML parser: it looks for the first
// IMAP incoming server and the first SMTP outgoing server and reads a few
// plain elements from each. Its acceptance rules are exact:
//   - a server element starts with "<incomingServer"/"<outgoingServer"
//     followed by space, tab, LF, "/" or ">", names "imap"/"smtp" in quotes
//     among its attributes, and has an end tag after its start tag;
//   - inner elements ("<hostname>", "<port>", "<socketType>",
//     "<authentication>") count only without attributes; the first one wins;
//   - character references are not decoded, placeholders are not expanded.

#include <optional>
#include <string_view>

#include "autoconfig/provider.h"

namespace mail {

[[nodiscard]] std::optional<ProviderSettings> parse_autoconfig(std::string_view document);

}  // namespace mail
