// Discovery against loopback HTTPS servers that play the autoconfiguration
// hosts, the ISP database and two DNS-over-HTTPS resolvers.
#include "autoconfig/discover.h"

#include <gtest/gtest.h>

#include <thread>

#include "../../servers/https_fixture.h"
#include "autoconfig/apply.h"

namespace mail {
namespace {

using nlohmann::json;
using testsupport::HttpsServer;

const std::vector<std::string> names = {"autoconfig.example.test",
                                        "example.test",
                                        "ispdb.test",
                                        "doh1.test",
                                        "doh2.test",
                                        "web.example",
                                        "autoconfig.web.example",
                                        "fastmail.test",
                                        "autoconfig.fastmail.test"};

DiscoveryEndpoints endpoints_for(const HttpsServer& server) {
  DiscoveryEndpoints e;
  e.ispdb_base = "https://ispdb.test/v1.1";
  e.doh = {"https://doh1.test/resolve", "https://doh2.test/dns-query"};
  e.routing.connect_to = {server.connect_all()};
  e.routing.extra_ca_pem = server.ca_pem();
  return e;
}

const char* full_document = R"(<clientConfig version="1.1"><emailProvider id="example.test">
<displayName>ISP Mail</displayName>
<incomingServer type="imap"><hostname>imap.isp.test</hostname><port>143</port><socketType>STARTTLS</socketType>
<authentication>OAuth2</authentication></incomingServer>
<outgoingServer type="smtp"><hostname>smtp.isp.test</hostname><port>587</port><socketType>STARTTLS</socketType>
</outgoingServer></emailProvider></clientConfig>)";

const char* imap_only = R"(<clientConfig><emailProvider>
<incomingServer type="imap"><hostname>imap.only.test</hostname><port>993</port></incomingServer>
</emailProvider></clientConfig>)";

TEST(Discover, TriesTheAutoconfigUrlsInOrderAndSkipsADocumentWithoutSmtp) {
  HttpsServer server(
      json{{"routes",
            {{{"host", "autoconfig.example.test"},
              {"path", "/mail/config-v1.1.xml"},
              {"status", 404}},
             {{"host", "example.test"},
              {"path", "/.well-known/autoconfig/mail/config-v1.1.xml"},
              {"body", imap_only}},
             {{"host", "ispdb.test"}, {"path", "/v1.1/example.test"}, {"body", full_document}}}}},
      names);
  std::atomic<bool> cancel{false};
  const auto found = discover("user@example.test", cancel, endpoints_for(server));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->imap_host, "imap.isp.test");
  EXPECT_EQ(found->imap_port, 143);
  EXPECT_TRUE(found->imap_tls);
  EXPECT_TRUE(found->oauth_capable);
  EXPECT_EQ(found->name, "ISP Mail");

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0]["host"], "autoconfig.example.test");
  EXPECT_EQ(requests[0]["query"], "emailaddress=user%40example.test");
  EXPECT_EQ(requests[1]["host"], "example.test");
  EXPECT_EQ(requests[2]["host"], "ispdb.test");
  for (const auto& r : requests) EXPECT_EQ(r["headers"]["user-agent"], "Zarn Mail");
}

TEST(Discover, WebLabelOutsideThePortalAsksTheNetworkAndMxDecides) {
  const json unrelated = {{"Answer", {{{"type", 15}, {"data", "5 mx.unrelated.test."}}}}};
  const json google = {{"Answer",
                        {{{"type", 15}, {"data", "10 aspmx.l.google.com."}},
                         {{"type", 15}, {"data", "5 mx.unrelated.test."}}}}};
  HttpsServer server(
      json{{"routes",
            {{{"host", "doh1.test"}, {"path", "/resolve"}, {"body", unrelated.dump()}},
             {{"host", "doh2.test"}, {"path", "/dns-query"}, {"body", google.dump()}}}}},
      names);
  std::atomic<bool> cancel{false};
  const auto found = discover("someone@web.example", cancel, endpoints_for(server));
  ASSERT_TRUE(found);
  EXPECT_EQ(*found, provider_record(ProviderKind::Google));

  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 5u) << "three autoconfig URLs, then both resolvers";
  EXPECT_EQ(requests[0]["host"], "autoconfig.web.example");
  EXPECT_EQ(requests[3]["host"], "doh1.test");
  EXPECT_EQ(requests[3]["query"], "name=web.example&type=MX");
  EXPECT_EQ(requests[3]["headers"]["accept"], "application/dns-json");
  EXPECT_EQ(requests[4]["host"], "doh2.test");
  EXPECT_EQ(requests[4]["path"], "/dns-query");
}

TEST(Discover, KnownDomainAfterFailedDocumentsComesFromTheTable) {
  HttpsServer server(json{{"routes", json::array()}}, names);
  std::atomic<bool> cancel{false};
  const auto found = discover("x@fastmail.test", cancel, endpoints_for(server));
  ASSERT_TRUE(found);
  EXPECT_EQ(*found, provider_record(ProviderKind::Fastmail));
  EXPECT_EQ(server.requests().size(), 3u) << "no resolver asked";
}

TEST(Discover, NoNetworkGivesNoneAndTheSheetsGuess) {
  // Every name leads to a port nobody listens on.
  DiscoveryEndpoints e;
  e.ispdb_base = "https://ispdb.test/v1.1";
  e.doh = {"https://doh1.test/resolve", "https://doh2.test/dns-query"};
  e.routing.connect_to = {"::127.0.0.1:1"};
  std::atomic<bool> cancel{false};
  EXPECT_FALSE(discover("Pat@Nowhere.Example", cancel, e));
  EXPECT_FALSE(discover("no-at-sign", cancel, e));

  AccountSettings s;
  s.email = "Pat@Nowhere.Example";
  guess_servers(s);
  EXPECT_EQ(s.imap_host, "imap.nowhere.example");
  EXPECT_EQ(s.smtp_host, "smtp.nowhere.example");
  EXPECT_EQ(s.imap_port, 993);
  EXPECT_EQ(s.smtp_port, 465);
}

TEST(Discover, CancelEndsTheLookupInTheMiddleOfARequest) {
  HttpsServer server(json{{"routes",
                           {{{"host", "autoconfig.example.test"},
                             {"path", "/mail/config-v1.1.xml"},
                             {"delay_ms", 10000},
                             {"body", full_document}}}}},
                     names);
  std::atomic<bool> cancel{false};
  std::chrono::steady_clock::time_point cancelled_at;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    cancelled_at = std::chrono::steady_clock::now();
    cancel = true;
  });
  const auto start = std::chrono::steady_clock::now();
  const auto found = discover("user@example.test", cancel, endpoints_for(server));
  const auto end = std::chrono::steady_clock::now();
  const auto took = end - start;
  canceller.join();
  RecordProperty(
      "cancel_to_return_us",
      std::to_string(
          std::chrono::duration_cast<std::chrono::microseconds>(end - cancelled_at).count()));
  EXPECT_FALSE(found) << "a cancelled lookup sends none, even though the document would parse";
  // Far below the server's 10-second delay: the request was abandoned, not waited out.
  EXPECT_LT(took, std::chrono::seconds(3));
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST(Discover, OverallLimitEndsASlowLookup) {
  HttpsServer server(json{{"routes",
                           {{{"host", "autoconfig.example.test"},
                             {"path", "/mail/config-v1.1.xml"},
                             {"delay_ms", 10000},
                             {"body", full_document}}}}},
                     names);
  auto e = endpoints_for(server);
  e.overall_timeout = std::chrono::milliseconds(400);
  std::atomic<bool> cancel{false};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(discover("user@example.test", cancel, e));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace
}  // namespace mail
