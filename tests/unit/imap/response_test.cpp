#include "imap/response.h"

#include <gtest/gtest.h>

using namespace mail::imap;

TEST(ResponseParser, ReadsStatusTaggedAndContinuationResponses) {
  auto greeting = parse_response("* OK [CAPABILITY IMAP4rev1] Dovecot ready.");
  ASSERT_TRUE(greeting);
  auto* s = std::get_if<StatusResponse>(&*greeting);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->status, Status::Ok);
  EXPECT_EQ(s->text, "[CAPABILITY IMAP4rev1] Dovecot ready.");

  auto bye = parse_response("* BYE Logging out");
  ASSERT_TRUE(bye);
  EXPECT_EQ(std::get<StatusResponse>(*bye).status, Status::Bye);

  auto no = parse_response("a1 NO [AUTHENTICATIONFAILED] Authentication failed.");
  ASSERT_TRUE(no);
  auto& t = std::get<Tagged>(*no);
  EXPECT_EQ(t.tag, "a1");
  EXPECT_EQ(t.status, Status::No);
  EXPECT_EQ(t.text, "[AUTHENTICATIONFAILED] Authentication failed.");

  auto bare = parse_response("a9 OK");
  ASSERT_TRUE(bare);
  EXPECT_EQ(std::get<Tagged>(*bare).text, "");

  auto cont = parse_response("+ ");
  ASSERT_TRUE(cont);
  EXPECT_TRUE(std::holds_alternative<Continuation>(*cont));
  EXPECT_TRUE(std::holds_alternative<Continuation>(*parse_response("+")));
}

TEST(ResponseParser, ReadsFetchItemsAndSkipsOthers) {
  auto r = parse_response(
      "* 12 FETCH (UID 345 MODSEQ (9) FLAGS (\\Seen \\Flagged $Junk) INTERNALDATE \"17-Jul-1996 "
      "02:44:25 -0700\" "
      "BODYSTRUCTURE (\"TEXT\" \"PLAIN\" NIL NIL NIL \"7BIT\" 3 1) BODY[] {5}\r\nhello)");
  ASSERT_TRUE(r) << r.error();
  auto& f = std::get<Fetch>(*r);
  EXPECT_EQ(f.seq, 12u);
  EXPECT_EQ(f.uid, 345u);
  ASSERT_TRUE(f.flags);
  EXPECT_EQ(*f.flags, (std::vector<std::string>{"\\Seen", "\\Flagged", "$Junk"}));
  EXPECT_EQ(f.internal_date, 837596665);  // 1996-07-17T09:44:25Z
  ASSERT_EQ(f.bodies.size(), 1u);
  EXPECT_EQ(f.bodies[0].section, "");
  EXPECT_EQ(f.bodies[0].data, "hello");

  auto quoted =
      parse_response("* 1 FETCH (BODY[HEADER.FIELDS (SUBJECT)]<0> \"a \\\"b\\\"\" BODY[TEXT] NIL)");
  ASSERT_TRUE(quoted) << quoted.error();
  auto& q = std::get<Fetch>(*quoted);
  ASSERT_EQ(q.bodies.size(), 2u);
  EXPECT_EQ(q.bodies[0].section, "HEADER.FIELDS (SUBJECT)");
  EXPECT_EQ(q.bodies[0].origin, 0u);
  EXPECT_EQ(q.bodies[0].data, "a \"b\"");
  EXPECT_FALSE(q.bodies[1].data);

  auto flags_only = parse_response("* 3 FETCH (FLAGS (\\Seen) UID 9)");
  ASSERT_TRUE(flags_only);
  EXPECT_TRUE(std::get<Fetch>(*flags_only).bodies.empty());
}

TEST(ResponseParser, ReadsSearchListAndCounts) {
  auto s = parse_response("* SEARCH 4 10 2");
  ASSERT_TRUE(s);
  EXPECT_EQ(std::get<Search>(*s).ids, (std::vector<std::uint32_t>{4, 10, 2}));
  EXPECT_TRUE(std::get<Search>(*parse_response("* SEARCH")).ids.empty());
  EXPECT_EQ(std::get<Search>(*parse_response("* SEARCH 1 2 (MODSEQ 917162500)")).ids.size(), 2u);

  auto l = parse_response("* LIST (\\HasNoChildren \\Sent) \"/\" Sent");
  ASSERT_TRUE(l);
  auto& e = std::get<ListEntry>(*l);
  EXPECT_EQ(e.name, "Sent");
  EXPECT_EQ(e.delimiter, '/');
  EXPECT_EQ(e.attributes, (std::vector<std::string>{"\\HasNoChildren", "\\Sent"}));
  EXPECT_EQ(std::get<ListEntry>(*parse_response("* LIST () NIL \"My \\\"Box\\\"\"")).name,
            "My \"Box\"");
  EXPECT_EQ(std::get<ListEntry>(*parse_response("* LIST () \".\" {5}\r\na]b c")).name, "a]b c");

  auto n = parse_response("* 23 EXISTS");
  ASSERT_TRUE(n);
  EXPECT_EQ(std::get<Numbered>(*n).number, 23u);
  EXPECT_EQ(std::get<Numbered>(*n).name, "EXISTS");
  EXPECT_EQ(std::get<Other>(*parse_response("* CAPABILITY IMAP4rev1 MOVE")).name, "CAPABILITY");
}

TEST(ResponseParser, RejectsMalformedInputWithAnError) {
  const std::vector<std::string> bad = {
      "",
      "*",
      "* 1 FETCH",
      "* 1 FETCH (UID)",
      "* 1 FETCH (UID x)",
      "* 1 FETCH (UID 0)",
      "* 1 FETCH (UID 99999999999)",
      "* 1 FETCH (BODY[] {10}\r\nshort)",
      "* 1 FETCH (BODY[ \"x\")",
      "* 1 FETCH (FLAGS (\\Seen)",
      "* 1 FETCH (INTERNALDATE \"32-Jan-2020 00:00:00 +0000\")",
      "* 1 FETCH (INTERNALDATE \"01-Foo-2020 00:00:00 +0000\")",
      "* 1 FETCH (X \"unterminated)",
      "* 1 FETCH (X " + std::string(100, '(') + ")",
      "* SEARCH 1 x",
      "* LIST (\\Noselect) \"//\" x",
      "* LIST",
      "a1 MAYBE fine",
      "a+1 OK fine",
      "a1 BYE nope",
      "\"quoted\" OK",
  };
  for (const auto& b : bad) {
    auto r = parse_response(b);
    EXPECT_FALSE(r) << b;
    if (!r) {
      EXPECT_EQ(r.error().rfind("malformed server response", 0), 0u) << r.error();
    }
  }
}

TEST(InternalDate, AppliesTheZoneAndAcceptsPaddedDays) {
  EXPECT_EQ(parse_internal_date("01-Jan-1970 00:00:00 +0000"), 0);
  EXPECT_EQ(parse_internal_date(" 1-Jan-1970 01:00:00 +0100"), 0);
  EXPECT_EQ(parse_internal_date("1-Jan-1970 00:00:00 -0130"), 5400);
  EXPECT_EQ(parse_internal_date("29-Feb-2024 12:34:56 +0000"), 1709210096);
  EXPECT_FALSE(parse_internal_date("29-Feb-2024 12:34:56"));
  EXPECT_FALSE(parse_internal_date("29-Feb-2024 24:00:00 +0000"));
}
