#pragma once
// Trust and naming for TLS clients, without Asio: the public web roots the
// program carries, the extra trust anchors a user may name, and the check
// that a host can be used as a TLS server name.
//
// Trust is exactly: the built-in roots, plus the certificates of the PEM file
// named by ZARN_MAIL_EXTRA_CA_FILE when that variable is set. Nothing else
// (no system store, no SSL_CERT_FILE) widens it.

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace mail::tls {

inline constexpr const char* extra_ca_env = "ZARN_MAIL_EXTRA_CA_FILE";

// Number of built-in root certificates.
[[nodiscard]] std::size_t web_root_count();

// One built-in root as PEM text; index below web_root_count().
[[nodiscard]] std::string_view web_root(std::size_t index);

// Every built-in root, concatenated PEM (for clients that take a CA blob,
// such as libcurl's CURLOPT_CAINFO_BLOB).
[[nodiscard]] const std::string& web_roots_pem();

// The extra CA file named by the environment, if set and not empty.
[[nodiscard]] std::optional<std::string> extra_ca_file();

// The built-in roots followed by the extra CA file's contents (if any).
// Fails when the extra file is named but cannot be read.
[[nodiscard]] std::expected<std::string, std::string> trusted_pem();

// A host is usable as a TLS server name when it is an IP address literal or a
// DNS name: labels of 1–63 letters, digits, '-' or '_' (not starting or
// ending with '-'), total at most 253 characters, an optional final dot.
[[nodiscard]] std::expected<void, std::string> check_server_name(std::string_view host);

// True when the host is an IPv4 or IPv6 address literal.
[[nodiscard]] bool is_ip_literal(std::string_view host);

}  // namespace mail::tls
