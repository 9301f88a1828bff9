#include "compose/recipients.h"

#include <gtest/gtest.h>

using mail::Address;
using mail::parse_recipients;

namespace {
Address addr(std::string email, std::optional<std::string> name = std::nullopt) {
  return Address{std::move(email), std::move(name)};
}
}  // namespace

TEST(ParseRecipients, Table) {
  struct Case {
    std::string text;
    std::vector<Address> expected;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {" ,;, ; ", {}},
      {"a@x.org", {addr("a@x.org")}},
      {"a@x.org; b@y.org,c@z.org", {addr("a@x.org"), addr("b@y.org"), addr("c@z.org")}},
      {"\"Ann Lee\" <ann@x.org>", {addr("ann@x.org", "Ann Lee")}},
      {"  Bob   < bob@y.org >  trailing text", {addr("bob@y.org", "Bob")}},
      {"<solo@x.org>", {addr("solo@x.org")}},
      {"\"\" <q@x.org>", {addr("q@x.org")}},
      {"Ann <ann@x.org", {addr("Ann <ann@x.org")}},      // "<" without ">" is taken whole
      {"Ann > <ann@x.org", {addr("Ann > <ann@x.org")}},  // ">" only before the "<"
      {"\"Lee, Ann\" <ann@x.org>",
       {addr("\"Lee"), addr("ann@x.org", "Ann")}},  // comma splits the name
      {"free text, d@x.org", {addr("free text"), addr("d@x.org")}},
      {"Jörg <jörg@bücher.de>", {addr("jörg@bücher.de", "Jörg")}},
  };
  for (const auto& k : cases) EXPECT_EQ(parse_recipients(k.text), k.expected) << k.text;
}
