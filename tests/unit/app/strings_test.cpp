#include <gtest/gtest.h>

#include <sstream>

#include "app/strings.h"

using zarn_ui::I18nManager;

TEST(MailStrings, ResourceHoldsEveryKeyWithItsTextInGroups) {
  auto entries = zarn_ui::parse_messages(mail::mail_strings_resource);
  ASSERT_TRUE(entries) << entries.error();
  EXPECT_EQ(entries->size(), 39u);
  I18nManager m;
  m.init("en-US");
  ASSERT_TRUE(m.add_resource("en-US", mail::mail_strings_resource));
  std::pair<const char*, const char*> samples[] = {
      {"mail-search-placeholder", "Search"},
      {"mail-setup-subtitle-add", "Enter your email — server details fill in automatically."},
      {"mail-setup-oauth-note-unavailable",
       "Not available in this installation · Password sign-in is available."},
      {"mail-setup-verifying", "Verifying…"},
      {"mail-setup-save", "Save & verify"},
      {"mail-compose-attach", "📎 Attach"},
      {"mail-compose-prompt-cancel", "Cancel"},
  };
  for (auto [key, text] : samples) EXPECT_EQ(m.lookup_plain(key), text) << key;
  EXPECT_EQ(m.lookup("mail-setup-oauth-sign-in", {{"provider", "Google"}}), "Sign in with Google");

  // Headings in order, and the head comment first.
  const std::string res(mail::mail_strings_resource);
  EXPECT_TRUE(res.starts_with("# Mail — user-facing strings.\n"));
  const auto list = res.find("## List header"), setup = res.find("## Account setup sheet"),
             compose = res.find("## Compose window");
  ASSERT_NE(list, std::string::npos);
  EXPECT_LT(list, setup);
  EXPECT_LT(setup, compose);
  // The two explaining comments sit right before their keys.
  EXPECT_LT(res.rfind("\n#", res.find("mail-setup-oauth-sign-in")),
            res.find("mail-setup-oauth-sign-in"));
  EXPECT_NE(res.find("$provider"), std::string::npos);
  const auto attach = res.find("mail-compose-prompt-attach");
  EXPECT_NE(res.substr(res.rfind("## Compose window", attach), attach).find("prompt bar"),
            std::string::npos);
}

TEST(EnsureStrings, ManagerWithoutLocaleFallsBackToEnglish) {
  I18nManager m;  // never initialised: registering for its locale adds nothing
  mail::ensure_strings_in(m);
  EXPECT_EQ(m.current_locale(), "en-US");
  EXPECT_EQ(m.lookup_plain("mail-search-placeholder"), "Search");
}

TEST(EnsureStrings, RegistersForTheCurrentLocale) {
  I18nManager m;
  m.init("de-DE");
  mail::ensure_strings_in(m);
  EXPECT_EQ(m.current_locale(), "de-DE");
  EXPECT_EQ(m.lookup_plain("mail-setup-cancel"), "Cancel");
}

TEST(EnsureStrings, ProbesWithoutThePseudoLocaleAndLeavesItOn) {
  I18nManager m;
  m.init("en-US");
  ASSERT_TRUE(m.add_resource("en-US", mail::mail_strings_resource));  // already there
  m.set_pseudo_locale(true);
  mail::ensure_strings_in(m);
  EXPECT_TRUE(m.pseudo_locale());
  EXPECT_EQ(m.current_locale(), "en-US");
  EXPECT_NE(m.lookup_plain("mail-search-placeholder"), "mail-search-placeholder");
}
