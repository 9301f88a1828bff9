#include "tls/tls.h"

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>

#include "tls/client_context.h"

using namespace mail::tls;

TEST(WebRoots, AreCarriedInTheProgramAndEachOneParses) {
  ASSERT_GT(web_root_count(), 100u);
  for (std::size_t i = 0; i < web_root_count(); ++i) {
    std::string_view pem = web_root(i);
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    EXPECT_NE(cert, nullptr) << i;
    X509_free(cert);
    BIO_free(bio);
  }
  EXPECT_TRUE(web_root(web_root_count()).empty());
  EXPECT_EQ(web_roots_pem().find("-----BEGIN CERTIFICATE-----"), 0u);
}

TEST(ExtraCaFile, WidensTrustOnlyWhenNamedAndMustBeReadable) {
  unsetenv(extra_ca_env);
  EXPECT_FALSE(extra_ca_file());
  EXPECT_EQ(*trusted_pem(), web_roots_pem());
  EXPECT_TRUE(make_client_context());

  setenv(extra_ca_env, "/nonexistent/ca.pem", 1);
  EXPECT_FALSE(trusted_pem());
  EXPECT_FALSE(make_client_context());

  const std::string path = std::string(ZARN_BINARY_DIR) + "/tls_test_extra.pem";
  { std::ofstream(path) << "not a certificate\n"; }
  setenv(extra_ca_env, path.c_str(), 1);
  auto bad = make_client_context();
  ASSERT_FALSE(bad);
  EXPECT_NE(bad.error().find("no certificate"), std::string::npos);

  { std::ofstream(path) << web_root(0); }
  EXPECT_TRUE(make_client_context());
  std::remove(path.c_str());
  unsetenv(extra_ca_env);
}

TEST(ServerName, AcceptsDnsNamesAndAddressesOnly) {
  for (const char* ok :
       {"imap.example.com", "localhost", "mail-1.example.org.", "127.0.0.1", "::1", "x_y.example"})
    EXPECT_TRUE(check_server_name(ok)) << ok;
  for (const char* bad :
       {"", ".", "bad host", "-x.example", "a..b", "exa$mple.com", "host:993", "[::1]"})
    EXPECT_FALSE(check_server_name(bad)) << bad;
  EXPECT_FALSE(check_server_name(std::string(64, 'a') + ".com"));
}
