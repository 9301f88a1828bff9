#include "autoconfig/autoconfig_document.h"

#include <gtest/gtest.h>

#include <string>

#include "autoconfig/apply.h"

namespace mail {
namespace {

std::string document(const std::string& incoming, const std::string& outgoing,
                     const std::string& provider_attrs = " id=\"example.org\"") {
  return "<?xml version=\"1.0\"?>\n<clientConfig version=\"1.1\">\n<emailProvider" +
         provider_attrs +
         ">\n<domain>example.org</domain>\n<displayName> Example Mail </displayName>\n" + incoming +
         "\n" + outgoing + "\n</emailProvider>\n</clientConfig>\n";
}

const std::string imap_ssl =
    "<incomingServer type=\"imap\">\n <hostname>imap.example.org</hostname>\n <port>993</port>\n"
    " <socketType>SSL</socketType>\n <authentication>password-cleartext</authentication>\n"
    " <username>%EMAILADDRESS%</username>\n</incomingServer>";
const std::string smtp_starttls =
    "<outgoingServer type=\"smtp\">\n <hostname>smtp.example.org</hostname>\n <port>587</port>\n"
    " <socketType>STARTTLS</socketType>\n <authentication>password-cleartext</authentication>\n"
    "</outgoingServer>";

TEST(ParseAutoconfig, ReadsBothServersAndTheDisplayName) {
  const auto p = parse_autoconfig(document(imap_ssl, smtp_starttls));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->imap_host, "imap.example.org");
  EXPECT_EQ(p->imap_port, 993);
  EXPECT_TRUE(p->imap_tls);
  EXPECT_EQ(p->smtp_host, "smtp.example.org");
  EXPECT_EQ(p->smtp_port, 587);
  EXPECT_TRUE(p->smtp_tls);
  EXPECT_EQ(p->name, "Example Mail");
  EXPECT_FALSE(p->oauth_capable);
}

TEST(ParseAutoconfig, ImapWithoutSmtpGivesNone) {
  EXPECT_FALSE(parse_autoconfig(document(imap_ssl, "")));
  EXPECT_FALSE(parse_autoconfig(document("", smtp_starttls)));
}

TEST(ParseAutoconfig, StarttlsOnPort143IsTlsOn) {
  const std::string imap =
      "<incomingServer type='imap'><hostname>mx.example.org</hostname><port>143</port>"
      "<socketType>starttls</socketType></incomingServer>";
  const auto p = parse_autoconfig(document(imap, smtp_starttls));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->imap_port, 143);
  EXPECT_TRUE(p->imap_tls);
}

TEST(ParseAutoconfig, SocketTypesThatMeanPlainText) {
  for (const char* plain : {"plain", "NONE", "", "  "}) {
    const std::string imap =
        std::string("<incomingServer type=\"imap\"><hostname>h</hostname><socketType>") + plain +
        "</socketType></incomingServer>";
    const auto p = parse_autoconfig(document(imap, smtp_starttls));
    ASSERT_TRUE(p) << plain;
    EXPECT_FALSE(p->imap_tls) << plain;
  }
  const std::string missing =
      "<incomingServer type=\"imap\"><hostname>h</hostname></incomingServer>";
  EXPECT_FALSE(parse_autoconfig(document(missing, smtp_starttls))->imap_tls);
}

TEST(ParseAutoconfig, OAuth2AuthenticationMakesItOAuthCapableAndApplyingSwitches) {
  const std::string imap =
      "<incomingServer type=\"imap\"><hostname>imap.example.org</hostname><port>993</port>"
      "<socketType>SSL</socketType><authentication>OAuth2</authentication>"
      "<authentication>password-cleartext</authentication></incomingServer>";
  const auto p = parse_autoconfig(document(imap, smtp_starttls));
  ASSERT_TRUE(p);
  EXPECT_TRUE(p->oauth_capable);
  AccountSettings s;
  apply_provider(s, *p);
  EXPECT_EQ(s.auth, AuthKind::OAuth);

  // Only the first authentication element counts.
  const std::string second =
      "<incomingServer "
      "type=\"imap\"><hostname>h</hostname><authentication>password-cleartext</authentication>"
      "<authentication>OAuth2</authentication></incomingServer>";
  EXPECT_FALSE(parse_autoconfig(document(second, smtp_starttls))->oauth_capable);
}

TEST(ParseAutoconfig, HostnameWithAnAttributeGivesNone) {
  const std::string imap =
      "<incomingServer type=\"imap\"><hostname "
      "lang=\"en\">imap.example.org</hostname></incomingServer>";
  EXPECT_FALSE(parse_autoconfig(document(imap, smtp_starttls)));
}

TEST(ParseAutoconfig, SkipsNonImapServersAndLooksAlikeNames) {
  const std::string pop =
      "<incomingServer type=\"pop3\"><hostname>pop.example.org</hostname></incomingServer>";
  const std::string lookalike =
      "<incomingServerX type=\"imap\"><hostname>wrong.example.org</hostname></incomingServerX>";
  const std::string unquoted =
      "<incomingServer type=imap><hostname>wrong2.example.org</hostname></incomingServer>";
  const std::string imap =
      "<incomingServer\ttype=\"imap\"><hostname>right.example.org</hostname></incomingServer>";
  const auto p = parse_autoconfig(document(pop + lookalike + unquoted + imap, smtp_starttls));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->imap_host, "right.example.org");
}

TEST(ParseAutoconfig, CarriageReturnDoesNotEndTheElementName) {
  const std::string imap =
      "<incomingServer\r type=\"imap\"><hostname>h</hostname></incomingServer>";
  EXPECT_FALSE(parse_autoconfig(document(imap, smtp_starttls)));
}

TEST(ParseAutoconfig, ServerWithoutEndTagGivesNone) {
  const std::string imap = "<incomingServer type=\"imap\"><hostname>h</hostname>";
  EXPECT_FALSE(parse_autoconfig(document(imap, smtp_starttls)));
}

TEST(ParseAutoconfig, BadPortsReadAsZeroAndTextsStayRaw) {
  for (const char* port : {"70000", "-1", "99a", ""}) {
    const std::string imap =
        std::string("<incomingServer type=\"imap\"><hostname>h&amp;x</hostname><port>") + port +
        "</port></incomingServer>";
    const auto p = parse_autoconfig(document(imap, smtp_starttls));
    ASSERT_TRUE(p) << port;
    EXPECT_EQ(p->imap_port, 0) << port;
    EXPECT_EQ(p->imap_host, "h&amp;x") << "character references are not decoded";
  }
}

TEST(ParseAutoconfig, NameOnlyFromANonEmptyDisplayName) {
  const std::string doc = "<clientConfig><emailProvider><displayName>  </displayName>" + imap_ssl +
                          smtp_starttls + "</emailProvider></clientConfig>";
  const auto p = parse_autoconfig(doc);
  ASSERT_TRUE(p);
  EXPECT_FALSE(p->name);
  const auto bare = parse_autoconfig(imap_ssl + smtp_starttls);
  ASSERT_TRUE(bare);
  EXPECT_FALSE(bare->name);
}

}  // namespace
}  // namespace mail
