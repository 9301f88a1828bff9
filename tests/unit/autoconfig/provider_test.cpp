#include "autoconfig/provider.h"

#include <gtest/gtest.h>

#include "autoconfig/apply.h"
#include "autoconfig/discover.h"

namespace mail {
namespace {

TEST(ProviderKindForDomain, MatchesFirstLabelCaseInsensitively) {
  struct Case {
    const char* domain;
    std::optional<ProviderKind> kind;
  };
  const Case cases[] = {
      {"gmail.com", ProviderKind::Google},
      {"GMail.co.uk", ProviderKind::Google},
      {"googlemail.com", ProviderKind::Google},
      {"gmail", ProviderKind::Google},  // no dot: the whole domain is the label
      {"hotmail.fr", ProviderKind::Microsoft},
      {"msn.com", ProviderKind::Microsoft},
      {"office365.com", ProviderKind::Microsoft},
      {"Office365.COM", ProviderKind::Microsoft},
      {"contoso.office365.com", std::nullopt},  // Office 365 only as a whole domain
      {"rocketmail.com", ProviderKind::Yahoo},
      {"fastmail.fm", ProviderKind::Fastmail},
      {"me.com", ProviderKind::ICloud},
      {"mac.com", ProviderKind::ICloud},
      {"mail.gmail.com", std::nullopt},  // first label is "mail"
      {"example.org", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(provider_kind_for_domain(c.domain), c.kind) << c.domain;
}

TEST(ProviderKindForMx, MatchesPlainSuffixesAfterTrailingDots) {
  struct Case {
    const char* host;
    std::optional<ProviderKind> kind;
  };
  const Case cases[] = {
      {"ALT1.ASPMX.L.GOOGLE.COM.", ProviderKind::Google},
      {"aspmx.l.google.com..", ProviderKind::Google},
      {"mx.evilgoogle.com", ProviderKind::Google},  // no label boundary is required
      {"example-com.mail.protection.outlook.com", ProviderKind::Microsoft},
      {"mx-eu.mail.am0.yahoodns.net", ProviderKind::Yahoo},
      {"in1-smtp.messagingengine.com", ProviderKind::Fastmail},
      {"mx01.mail.icloud.com", ProviderKind::ICloud},
      {"mx.example.org", std::nullopt},
      {"google.com.example.org", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(provider_kind_for_mx(c.host), c.kind) << c.host;
}

TEST(ProviderRecord, HasTheTablePortsTlsAndOAuth) {
  struct Case {
    ProviderKind kind;
    std::uint16_t imap, smtp;
    bool oauth;
  };
  const Case cases[] = {{ProviderKind::Google, 993, 465, true},
                        {ProviderKind::Microsoft, 993, 587, true},
                        {ProviderKind::Yahoo, 993, 465, false},
                        {ProviderKind::Fastmail, 993, 465, false},
                        {ProviderKind::ICloud, 993, 587, false}};
  for (const auto& c : cases) {
    const auto r = provider_record(c.kind);
    EXPECT_EQ(r.imap_port, c.imap);
    EXPECT_EQ(r.smtp_port, c.smtp);
    EXPECT_EQ(r.oauth_capable, c.oauth);
    EXPECT_TRUE(r.imap_tls && r.smtp_tls);
    EXPECT_FALSE(r.name.has_value());
    EXPECT_FALSE(r.imap_host.empty() || r.smtp_host.empty());
  }
  EXPECT_EQ(provider_record(ProviderKind::Google).imap_host, "imap.gmail.com");
}

TEST(KnownProvider, GmailIsAnsweredFromTheTable) {
  // The setup sheet asks the table first; a hit means no lookup is started.
  const auto hit = known_provider("gmail.com");
  ASSERT_TRUE(hit);
  EXPECT_EQ(*hit, provider_record(ProviderKind::Google));
  EXPECT_EQ(known_provider("gmail.co"), hit);  // the first label alone decides
}

TEST(KnownProvider, FurtherEntriesMatchTheirLabelsAndOwnDomains) {
  const auto web = known_provider("web.de");
  ASSERT_TRUE(web);
  EXPECT_EQ(web->imap_host, "imap.web.de");
  EXPECT_EQ(web->smtp_port, 587);
  EXPECT_FALSE(known_provider("web.example.com")) << "web portal only at its own domain";
  EXPECT_FALSE(known_provider("mail.example.org")) << "mail service only at its own domain";
  EXPECT_TRUE(known_provider("mail.com"));
  EXPECT_TRUE(known_provider("GMX.de"));
  EXPECT_EQ(known_provider("zoho.eu")->smtp_port, 465);
  EXPECT_EQ(known_provider("aol.com")->smtp_host, "smtp.aol.com");
  for (const char* proton : {"proton.me", "protonmail.com", "pm.me"}) {
    const auto p = known_provider(proton);
    ASSERT_TRUE(p) << proton;
    EXPECT_EQ(p->imap_host, "127.0.0.1");
    EXPECT_EQ(p->smtp_host, "127.0.0.1");
    EXPECT_EQ(p->imap_port, 1143);
    EXPECT_EQ(p->smtp_port, 1025);
    EXPECT_FALSE(p->oauth_capable);
  }
  EXPECT_FALSE(known_provider("example.org"));
}

TEST(ApplyProvider, OAuthCapableSwitchesToOAuthAndKeepsCredentials) {
  AccountSettings s;
  s.username = "me";
  s.password = "secret";
  s.display_name = "  ";
  ProviderSettings p;
  p.imap_host = "imap.example.org";
  p.imap_port = 143;
  p.imap_tls = false;
  p.smtp_host = "smtp.example.org";
  p.smtp_port = 587;
  p.smtp_tls = true;
  p.oauth_capable = true;
  p.name = "Example Mail";
  apply_provider(s, p);
  EXPECT_EQ(s.imap_host, "imap.example.org");
  EXPECT_EQ(s.imap_port, 143);
  EXPECT_FALSE(s.imap_tls);
  EXPECT_EQ(s.smtp_port, 587);
  EXPECT_EQ(s.auth, AuthKind::OAuth);
  EXPECT_EQ(s.display_name, "Example Mail");
  EXPECT_EQ(s.username, "me");
  EXPECT_EQ(s.password, "secret");

  AccountSettings oauth_kept;
  oauth_kept.auth = AuthKind::OAuth;
  oauth_kept.display_name = "Mine";
  p.oauth_capable = false;
  apply_provider(oauth_kept, p);
  EXPECT_EQ(oauth_kept.auth, AuthKind::OAuth) << "a password provider leaves the choice alone";
  EXPECT_EQ(oauth_kept.display_name, "Mine");
}

TEST(GuessServers, FillsHostsFromTheLowerCasedDomain) {
  AccountSettings s;
  s.email = "Alice@Example.COM";
  s.imap_port = 143;
  s.imap_tls = false;
  guess_servers(s);
  EXPECT_EQ(s.imap_host, "imap.example.com");
  EXPECT_EQ(s.smtp_host, "smtp.example.com");
  EXPECT_EQ(s.imap_port, 993);
  EXPECT_EQ(s.smtp_port, 465);
  EXPECT_TRUE(s.imap_tls && s.smtp_tls);
  EXPECT_EQ(s.username, "Alice@Example.COM");
  EXPECT_EQ(s.display_name, "Alice");

  AccountSettings kept;
  kept.email = "bob@example.org";
  kept.username = "b";
  kept.display_name = "Bob B";
  guess_servers(kept);
  EXPECT_EQ(kept.username, "b");
  EXPECT_EQ(kept.display_name, "Bob B");

  AccountSettings no_at;
  no_at.email = "nobody";
  const AccountSettings before = no_at;
  guess_servers(no_at);
  EXPECT_EQ(no_at, before);
}

TEST(AutoconfigUrls, EncodeOnlyTheAtSign) {
  const auto urls = autoconfig_urls("Example.org", "a+b c@Example.org");
  EXPECT_EQ(urls[0],
            "https://autoconfig.Example.org/mail/config-v1.1.xml?emailaddress=a+b c%40Example.org");
  EXPECT_EQ(urls[1],
            "https://Example.org/.well-known/autoconfig/mail/config-v1.1.xml?emailaddress=a+b "
            "c%40Example.org");
  EXPECT_EQ(urls[2], "https://autoconfig.thunderbird.net/v1.1/Example.org");
}

}  // namespace
}  // namespace mail
