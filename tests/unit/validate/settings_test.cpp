#include "validate/settings.h"

#include <gtest/gtest.h>

using namespace mail;

namespace {
AccountSettings valid() {
  AccountSettings s;
  s.email = "ada@example.org";
  s.imap_host = "imap.example.org";
  s.smtp_host = "smtp.example.org";
  s.username = "ada";
  return s;
}
}  // namespace

TEST(ValidateSettings, ReportsAllSixProblemsInRuleOrder) {
  AccountSettings s;
  s.email = "ada.example.org";
  s.imap_host = "";
  s.smtp_host = " \t";
  s.username = "   ";
  s.imap_port = 0;
  s.smtp_port = 0;
  const std::vector<SettingsProblem> expected{
      {"email", "Enter a valid email address"}, {"imap_host", "IMAP host is required"},
      {"smtp_host", "SMTP host is required"},   {"username", "Username is required"},
      {"imap_port", "Port must be 1-65535"},    {"smtp_port", "Port must be 1-65535"}};
  EXPECT_EQ(validate_settings(s), expected);
}

TEST(ValidateSettings, EachRuleAlone) {
  struct Case {
    const char* name;
    void (*change)(AccountSettings&);
    std::vector<SettingsProblem> expected;
  } cases[] = {
      {"valid", [](AccountSettings&) {}, {}},
      {"email with leading spaces passes", [](AccountSettings& s) { s.email = "  ada@x"; }, {}},
      {"bare at sign passes", [](AccountSettings& s) { s.email = "@"; }, {}},
      {"no at sign",
       [](AccountSettings& s) { s.email = "ada"; },
       {{"email", "Enter a valid email address"}}},
      {"imap host blank",
       [](AccountSettings& s) { s.imap_host = "  "; },
       {{"imap_host", "IMAP host is required"}}},
      {"smtp host empty",
       [](AccountSettings& s) { s.smtp_host = ""; },
       {{"smtp_host", "SMTP host is required"}}},
      {"username spaces",
       [](AccountSettings& s) { s.username = "\n "; },
       {{"username", "Username is required"}}},
      {"smtp port zero",
       [](AccountSettings& s) { s.smtp_port = 0; },
       {{"smtp_port", "Port must be 1-65535"}}},
      {"password and auth not checked",
       [](AccountSettings& s) {
         s.password = "";
         s.auth = AuthKind::OAuth;
       },
       {}},
  };
  for (const auto& c : cases) {
    auto s = valid();
    c.change(s);
    EXPECT_EQ(validate_settings(s), c.expected) << c.name;
  }
}
