#include "connection/connection_error.h"

#include <gtest/gtest.h>

using mail::ConnectionErrorKind;
using mail::describe_connection_error;

TEST(DescribeConnectionError, MapsEachGroupAndEarlierGroupsWin) {
  const std::string auth = "authentication failed — check the username and password";
  const std::string tls = "TLS/certificate error — the server's certificate wasn't trusted";
  const std::string refused = "connection refused — check the host and port";
  const std::string timeout = "connection timed out — the server didn't respond";
  const std::string dns = "host not found — check the server address";
  const std::string unreachable = "network unreachable — check your connection";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"535 5.7.8 Username and Password not accepted", auth},
      {"LOGIN failed: NO [AUTHENTICATIONFAILED] Authentication failed.", auth},
      {"Invalid Credentials", auth},
      {"AUTH rejected", auth},
      {"auth denied", auth},
      {"AUTHENTICATE: invalid token", auth},
      {"Login failed for user", auth},
      {"certificate verify failed", tls},
      {"TLS handshake failed: stream truncated", tls},
      {"self-signed certificate in chain", tls},
      {"SSL routines::wrong version number", tls},
      {"Connection Refused", refused},
      {"CONNECTION REFUSED", refused},
      {"tls connect refused", tls},  // both "tls" and "refused": the earlier group
      {"auth failed: connection refused", auth},
      {"Operation timed out", timeout},
      {"read timeout", timeout},
      {"DNS lookup failed", dns},
      {"cannot resolve the host name: Host not found (authoritative)", dns},
      {"failed: Host not found (authoritative)", auth},  // "auth" and "fail": the rule as written
      {"Name or service not known", dns},
      {"no such host", dns},
      {"Network is unreachable", unreachable},
      {"Host unreachable", unreachable},
      {"Broken pipe", "connection failed: Broken pipe"},
      {"Weird Error MIXED Case", "connection failed: Weird Error MIXED Case"},
      {"", "connection failed: "},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(describe_connection_error(text), expected) << text;
  // Idempotent on its own timeout sentence, which the live transport uses.
  EXPECT_EQ(describe_connection_error(timeout), timeout);
}

TEST(DescribeConnectionError, AMissingStartTlsOfferIsSaidAsSuchNotAsACertificateProblem) {
  const std::string no_starttls =
      "the server doesn't offer STARTTLS — check the port and security settings";
  // The kind decides, whatever the words of the text.
  for (const char* text : {"SMTP server does not offer STARTTLS", "", "535 auth failed"})
    EXPECT_EQ(describe_connection_error(ConnectionErrorKind::StartTlsNotOffered, text), no_starttls)
        << text;
  // Unclassified errors keep the word rules, STARTTLS texts included.
  EXPECT_EQ(describe_connection_error(ConnectionErrorKind::Unclassified,
                                      "STARTTLS rejected: 454 TLS not available"),
            "TLS/certificate error — the server's certificate wasn't trusted");
  EXPECT_EQ(describe_connection_error(ConnectionErrorKind::Unclassified, "Connection refused"),
            "connection refused — check the host and port");
}
