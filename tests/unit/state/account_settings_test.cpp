#include "state/account_settings.h"

#include <gtest/gtest.h>

#include <limits>
#include <regex>

using namespace mail;

namespace {

AccountSettings sample_settings() {
  AccountSettings s;
  s.display_name = "Ada";
  s.email = "ada@example.org";
  s.imap_host = "imap.example.org";
  s.imap_port = 143;
  s.imap_tls = false;
  s.smtp_host = "smtp.example.org";
  s.smtp_port = 587;
  s.smtp_tls = true;
  s.username = "ada";
  s.auth = AuthKind::OAuth;
  return s;
}

const char* full_document = R"({
  "display_name": "Ada", "email": "ada@example.org",
  "imap_host": "imap.example.org", "imap_port": 143, "imap_tls": false,
  "smtp_host": "smtp.example.org", "smtp_port": 587, "smtp_tls": true,
  "username": "ada", "auth": "OAuth", "collapsed": true, "theme": "ignored"
})";

}  // namespace

TEST(AccountSettings, BlankSettingsHaveTheSetupFormDefaults) {
  AccountSettings s;
  EXPECT_EQ(s.imap_port, 993);
  EXPECT_EQ(s.smtp_port, 465);
  EXPECT_TRUE(s.imap_tls);
  EXPECT_TRUE(s.smtp_tls);
  EXPECT_EQ(s.auth, AuthKind::Password);
  EXPECT_TRUE(s.email.empty() && s.imap_host.empty() && s.username.empty());
}

TEST(SettingsDocument, WritesTheStoredKeysInOrderAndNeverThePassword) {
  auto s = sample_settings();
  s.password = "hunter2";
  const auto doc = settings_document(s, true);
  EXPECT_EQ(doc.dump(),
            R"({"display_name":"Ada","email":"ada@example.org","imap_host":"imap.example.org",)"
            R"("imap_port":143,"imap_tls":false,"smtp_host":"smtp.example.org","smtp_port":587,)"
            R"("smtp_tls":true,"username":"ada","auth":"OAuth","collapsed":true})");
  EXPECT_EQ(doc.dump().find("hunter2"), std::string::npos);
}

TEST(SettingsDocument, ReadsWhatItWrites) {
  auto s = sample_settings();
  s.display_name = "  Ada  ";  // stored exactly as entered
  auto back = read_settings_document_text(settings_document(s, true).dump());
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(back->settings, s);
  EXPECT_TRUE(back->collapsed);
}

TEST(SettingsDocument, ReadsAFullDocumentIgnoringOtherKeys) {
  auto back = read_settings_document_text(full_document);
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(back->settings, sample_settings());
  EXPECT_TRUE(back->settings.password.empty());
  EXPECT_TRUE(back->collapsed);
}

// Each row removes or replaces one member of the full document.
struct DocCase {
  const char* name;
  const char* key;
  const char* replacement;  // nullptr: remove the key
  bool readable;
  const char* error_part;  // in the error when unreadable
};

void PrintTo(const DocCase& c, std::ostream* os) {
  *os << c.name;
}

class SettingsDocumentCases : public ::testing::TestWithParam<DocCase> {};

TEST_P(SettingsDocumentCases, ReadsOrRefuses) {
  const auto& c = GetParam();
  auto doc = nlohmann::json::parse(full_document);
  if (c.replacement) {
    doc[c.key] = nlohmann::json::parse(c.replacement);
  } else {
    doc.erase(c.key);
  }
  auto back = read_settings_document_text(doc.dump());
  ASSERT_EQ(back.has_value(), c.readable) << (back ? "read" : back.error());
  if (!c.readable) {
    EXPECT_NE(back.error().find(c.error_part), std::string::npos) << back.error();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, SettingsDocumentCases,
    ::testing::Values(
        DocCase{"no_collapsed", "collapsed", nullptr, true, ""},
        DocCase{"no_auth", "auth", nullptr, true, ""},
        DocCase{"auth_lower_case", "auth", R"("oauth")", false, "`Password` or `OAuth`"},
        DocCase{"auth_upper_case", "auth", R"("PASSWORD")", false, "`Password` or `OAuth`"},
        DocCase{"auth_not_text", "auth", "1", false, "invalid type"},
        DocCase{"no_username", "username", nullptr, false, "missing field `username`"},
        DocCase{"no_display_name", "display_name", nullptr, false, "missing field `display_name`"},
        DocCase{"no_imap_port", "imap_port", nullptr, false, "missing field `imap_port`"},
        DocCase{"port_as_text", "imap_port", R"("993")", false, "invalid type"},
        DocCase{"port_negative", "smtp_port", "-1", false, "expected u16"},
        DocCase{"port_too_large", "smtp_port", "65536", false, "expected u16"},
        DocCase{"port_fraction", "smtp_port", "25.5", false, "invalid type"},
        DocCase{"port_largest", "smtp_port", "65535", true, ""},
        DocCase{"tls_as_number", "imap_tls", "1", false, "invalid type"},
        DocCase{"collapsed_null", "collapsed", "null", false, "invalid type"},
        DocCase{"email_null", "email", "null", false, "invalid type"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsDocument, MissingOptionalKeysTakeTheirDefaults) {
  auto doc = nlohmann::json::parse(full_document);
  doc.erase("collapsed");
  doc.erase("auth");
  auto back = read_settings_document(doc);
  ASSERT_TRUE(back);
  EXPECT_FALSE(back->collapsed);
  EXPECT_EQ(back->settings.auth, AuthKind::Password);
}

TEST(SettingsDocument, RefusesRepeatedKeysAndNonObjects) {
  std::string doc = full_document;
  doc.insert(doc.find('{') + 1, R"("username": "eve", )");
  auto back = read_settings_document_text(doc);
  ASSERT_FALSE(back);
  EXPECT_EQ(back.error(), "duplicate field `username`");

  for (const char* text : {"[]", "\"x\"", "null", "", "{", "{\"email\": \"a@b\"} trailing"}) {
    EXPECT_FALSE(read_settings_document_text(text)) << text;
  }
}

TEST(SettingsDocument, RepeatedKeysInsideNestedValuesAreRefusedToo) {
  std::string doc = full_document;
  doc.insert(doc.find('{') + 1, R"("extra": {"a": 1, "a": 2}, )");
  EXPECT_FALSE(read_settings_document_text(doc));
  std::string fine = full_document;
  fine.insert(fine.find('{') + 1, R"("extra": [{"a": 1}, {"a": 2}], )");
  EXPECT_TRUE(read_settings_document_text(fine));
}

TEST(AccountLabel, FallsBackFromDisplayNameToEmailToNewAccount) {
  MailAccount a;
  EXPECT_EQ(account_label(a), "New account");
  a.settings.email = "ada@example.org";
  EXPECT_EQ(account_label(a), "ada@example.org");
  a.settings.display_name = "Ada";
  EXPECT_EQ(account_label(a), "Ada");
}

TEST(NewAccount, TakesTheEmailAsEnteredOrARandomId) {
  AccountSettings s;
  s.email = " Ada@Example.org";
  auto a = new_account(s);
  EXPECT_EQ(a.id, " Ada@Example.org");
  EXPECT_FALSE(a.collapsed);
  EXPECT_FALSE(a.avatar);
  EXPECT_EQ(a.settings, s);

  const std::regex uuid_v4(
      "account-[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  auto x = new_account(AccountSettings{});
  auto y = new_account(AccountSettings{});
  EXPECT_TRUE(std::regex_match(x.id, uuid_v4)) << x.id;
  EXPECT_TRUE(std::regex_match(y.id, uuid_v4)) << y.id;
  EXPECT_NE(x.id, y.id);
}

TEST(OAuthTokensJson, IsCompactInKeyOrderAndReadsBack) {
  OAuthTokens t{"acc", "ref", 3600, 1700000000};
  const auto text = oauth_tokens_to_json(t);
  EXPECT_EQ(
      text,
      R"({"access_token":"acc","refresh_token":"ref","expires_in":3600,"obtained_at":1700000000})");
  auto back = oauth_tokens_from_json(text);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, t);
  OAuthTokens big{"a", "", std::numeric_limits<std::uint64_t>::max(), 1};
  EXPECT_EQ(*oauth_tokens_from_json(oauth_tokens_to_json(big)), big);
}

TEST(OAuthTokensJson, RefusesTextThatIsNotATokenSet) {
  for (const char* text :
       {"", "hunter2", "{}", R"({"access_token":"a"})",
        R"({"access_token":"a","refresh_token":"r","expires_in":-5,"obtained_at":1})",
        R"({"access_token":1,"refresh_token":"r","expires_in":5,"obtained_at":1})"}) {
    EXPECT_FALSE(oauth_tokens_from_json(text)) << text;
  }
}

TEST(TokensDue, FollowsLifetimeWithAMinuteOfMarginAndSaturates) {
  constexpr auto max = std::numeric_limits<std::uint64_t>::max();
  struct Case {
    std::uint64_t expires_in, obtained_at, now;
    bool due;
  } cases[] = {
      {0, 1000, 0, true},  // no lifetime: always due
      {0, max, 0, true},
      {3600, 1000, 1000, false},          // fresh
      {3600, 1000, 4539, false},          // 61 s left
      {3600, 1000, 4540, true},           // exactly 60 s left
      {3600, 1000, 9000, true},           // expired
      {max, 1000, 2'000'000'000, false},  // sum beyond 64 bits: never due
      {max - 10, 100, 4'000'000'000, false},
      {1, max, 4'000'000'000, false},
  };
  for (const auto& c : cases) {
    OAuthTokens t{"a", "r", c.expires_in, c.obtained_at};
    EXPECT_EQ(tokens_due(t, c.now), c.due) << c.expires_in << " " << c.obtained_at << " " << c.now;
  }
  EXPECT_TRUE(tokens_due(OAuthTokens{"a", "r", 0, 0}));
  EXPECT_FALSE(tokens_due(OAuthTokens{"a", "r", max, max}));
}

TEST(LoginName, IsTheUsernameUnlessItIsBlank) {
  AccountSettings s;
  s.email = " ada@example.org";
  s.username = "   ";
  EXPECT_EQ(login_name(s), " ada@example.org");
  s.username = " ada ";
  EXPECT_EQ(login_name(s), " ada ");
}
