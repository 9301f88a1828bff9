#include "smtp/address.h"

#include <gtest/gtest.h>

using mail::smtp::parse_plain_address;

TEST(PlainAddress, AcceptsOrdinaryQuotedAndInternationalAddresses) {
  for (const char* ok :
       {"a@b.c", "first.last+tag@mail.example.org", "\"john doe\"@example.com", "user@[192.0.2.1]",
        "user@localhost", "jörg@müller.de", "x!#$%&'*/=?^_`{|}~@d.io"}) {
    EXPECT_TRUE(parse_plain_address(ok)) << ok;
  }
}

TEST(PlainAddress, RefusesAnythingThatCouldAlterTheCommandLine) {
  for (const char* bad : {"",        "plain text", "a@b.c\r\nRCPT TO:<evil@x>",
                          "a@b.c\n", "a\r@b.c",    "Name <a@b.c>",
                          "<a@b.c>", "a@b.c>",     "no-at-sign",
                          "@b.c",    "a@",         "a..b@c.d",
                          ".a@c.d",  "a@-c.d",     "a@c..d",
                          "a b@c.d", "a@b c.d",    "a,b@c.d",
                          "a@b.c,",  "a@[b\\]"}) {
    EXPECT_FALSE(parse_plain_address(bad)) << bad;
  }
  EXPECT_FALSE(parse_plain_address(std::string(65, 'a') + "@b.c"));
}
