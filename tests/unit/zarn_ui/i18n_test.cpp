#include <gtest/gtest.h>

#include "zarn_ui/i18n.h"

using zarn_ui::I18nManager;

TEST(Messages, ParsesKeysCommentsAndHeadingsAndRejectsOtherLines) {
  auto ok = zarn_ui::parse_messages("# head\n## Group\n\nkey-one = One\nkey.two=  Two words  \n");
  ASSERT_TRUE(ok);
  ASSERT_EQ(ok->size(), 2u);
  EXPECT_EQ((*ok)[0].key, "key-one");
  EXPECT_EQ((*ok)[1].text, "Two words");
  for (const char* bad : {"no equals sign\n", "bad key! = x\n", " = text\n"}) {
    auto r = zarn_ui::parse_messages(bad);
    ASSERT_FALSE(r) << bad;
    EXPECT_NE(r.error().find("line 1"), std::string::npos);
  }
}

TEST(I18nManager, LooksUpCurrentLocaleAndFallsBackToTheKey) {
  I18nManager m;
  EXPECT_EQ(m.lookup_plain("greeting"), "greeting");  // no locale yet
  m.init("en-US");
  ASSERT_TRUE(m.add_resource("en-US", "greeting = Hello { $name }, { $name }!\n"));
  ASSERT_TRUE(m.add_resource("de-DE", "greeting = Hallo { $name }\n"));
  EXPECT_EQ(m.lookup("greeting", {{"name", "Ada"}}), "Hello Ada, Ada!");
  EXPECT_EQ(m.lookup("greeting", {}), "Hello { $name }, { $name }!");
  EXPECT_EQ(m.lookup_plain("missing"), "missing");
  m.init("de-DE");
  EXPECT_EQ(m.lookup("greeting", {{"name", "Ada"}}), "Hallo Ada");
}

TEST(I18nManager, RevisionMovesOnlyOnVisibleChanges) {
  I18nManager m;
  const auto r0 = m.revision();
  ASSERT_TRUE(m.add_resource("", "k = v\n"));  // no locale: nothing to add
  EXPECT_EQ(m.revision(), r0);
  ASSERT_TRUE(m.add_resource("en-US", "k = v\n"));
  const auto r1 = m.revision();
  EXPECT_GT(r1, r0);
  ASSERT_TRUE(m.add_resource("en-US", "k = v\n"));  // same texts again
  EXPECT_EQ(m.revision(), r1);
  m.set_pseudo_locale(true);
  EXPECT_GT(m.revision(), r1);
}

TEST(I18nManager, PseudoLocaleDecoratesTextsButNotPlaceholders) {
  I18nManager m;
  m.init("en-US");
  ASSERT_TRUE(m.add_resource("en-US", "k = Sign in with { $provider }\n"));
  m.set_pseudo_locale(true);
  const std::string text = m.lookup("k", {{"provider", "Google"}});
  EXPECT_EQ(text.front(), '[');
  EXPECT_NE(text.find("Google"), std::string::npos);
  EXPECT_EQ(text.find("Sign in"), std::string::npos);
}

TEST(I18nManager, LocaleFromEnvironment) {
  const char* saved = std::getenv("LANG");
  std::string keep = saved ? saved : "";
  ::unsetenv("LC_ALL");
  ::unsetenv("LC_MESSAGES");
  for (auto [lang, want] : std::vector<std::pair<const char*, const char*>>{
           {"de_DE.UTF-8", "de-DE"}, {"C", "en-US"}, {"pt_BR@euro", "pt-BR"}, {"C.UTF-8", "en-US"}}) {
    ::setenv("LANG", lang, 1);
    EXPECT_EQ(I18nManager::locale_from_environment(), want) << lang;
  }
  if (saved) ::setenv("LANG", keep.c_str(), 1); else ::unsetenv("LANG");
}
