#include "autoconfig/autoconfig_document.h"

#include <string>

#include "text_codec/ascii.h"

namespace mail {
namespace {

constexpr std::string_view npos_view{};

using text_codec::trim;

bool ends_start_tag_name(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '/' || c == '>';
}

// The block of the first element `name` whose attribute text satisfies
// `accept`: the text between its start tag's ">" and the next end tag.
template <typename Accept>
std::optional<std::string_view> find_block(std::string_view doc, std::string_view name,
                                           Accept accept) {
  const std::string open = "<" + std::string(name);
  const std::string close = "</" + std::string(name) + ">";
  std::size_t from = 0;
  while (true) {
    const auto at = doc.find(open, from);
    if (at == std::string_view::npos) return std::nullopt;
    from = at + 1;
    const auto after_name = at + open.size();
    if (after_name >= doc.size() || !ends_start_tag_name(doc[after_name])) continue;
    const auto gt = doc.find('>', after_name);
    if (gt == std::string_view::npos) return std::nullopt;  // no later start tag can close either
    if (!accept(doc.substr(after_name, gt - after_name))) continue;
    const auto end = doc.find(close, gt + 1);
    if (end == std::string_view::npos) continue;
    return doc.substr(gt + 1, end - (gt + 1));
  }
}

// Trimmed text of the first "<name>" (no attributes) up to its end tag.
std::optional<std::string_view> element_text(std::string_view block, std::string_view name) {
  const std::string open = "<" + std::string(name) + ">";
  const std::string close = "</" + std::string(name) + ">";
  const auto at = block.find(open);
  if (at == std::string_view::npos) return std::nullopt;
  const auto start = at + open.size();
  const auto end = block.find(close, start);
  if (end == std::string_view::npos) return std::nullopt;
  return trim(block.substr(start, end - start));
}

std::uint16_t read_port(std::string_view text) {
  if (text.empty() || text.size() > 5) return 0;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value > 65535 ? 0 : static_cast<std::uint16_t>(value);
}

struct Server {
  std::string host;
  std::uint16_t port = 0;
  bool tls = false;
  bool oauth = false;
};

Server read_server(std::string_view block) {
  Server s;
  s.host = std::string(element_text(block, "hostname").value_or(npos_view));
  s.port = read_port(element_text(block, "port").value_or(npos_view));
  const std::string socket_type = [&] {
    std::string t(element_text(block, "socketType").value_or(npos_view));
    for (auto& c : t) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return t;
  }();
  s.tls = !(socket_type.empty() || socket_type == "PLAIN" || socket_type == "NONE");
  s.oauth = text_codec::to_lower(element_text(block, "authentication").value_or(npos_view))
                .find("oauth") != std::string::npos;
  return s;
}

auto quoted(std::string_view word) {
  return [dq = "\"" + std::string(word) + "\"",
          sq = "'" + std::string(word) + "'"](std::string_view attrs) {
    return attrs.find(dq) != std::string_view::npos || attrs.find(sq) != std::string_view::npos;
  };
}

}  // namespace

std::optional<ProviderSettings> parse_autoconfig(std::string_view document) {
  const auto incoming = find_block(document, "incomingServer", quoted("imap"));
  if (!incoming) return std::nullopt;
  const auto outgoing = find_block(document, "outgoingServer", quoted("smtp"));
  if (!outgoing) return std::nullopt;
  const Server imap = read_server(*incoming);
  const Server smtp = read_server(*outgoing);
  if (imap.host.empty() || smtp.host.empty()) return std::nullopt;

  ProviderSettings p;
  p.imap_host = imap.host;
  p.imap_port = imap.port;
  p.imap_tls = imap.tls;
  p.smtp_host = smtp.host;
  p.smtp_port = smtp.port;
  p.smtp_tls = smtp.tls;
  p.oauth_capable = imap.oauth || smtp.oauth;
  if (const auto provider =
          find_block(document, "emailProvider", [](std::string_view) { return true; })) {
    const auto display = element_text(*provider, "displayName");
    if (display && !display->empty()) p.name = std::string(*display);
  }
  return p;
}

}  // namespace mail
