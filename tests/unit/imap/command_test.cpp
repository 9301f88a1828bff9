#include "imap/command.h"

#include <gtest/gtest.h>

using namespace mail::imap;

namespace {
std::string joined(const Command& c) {
  std::string out;
  for (const auto& p : c.parts) out += p;
  return out;
}
}  // namespace

TEST(CommandBuilder, TagsCountUpFromOneAndPrefixEveryCommand) {
  CommandBuilder b;
  EXPECT_EQ(joined(b.select("INBOX")), "a1 SELECT \"INBOX\"\r\n");
  EXPECT_EQ(joined(b.uid_search("FLAGGED")), "a2 UID SEARCH FLAGGED\r\n");
  EXPECT_EQ(joined(b.uid_fetch("3,2,1", "(UID FLAGS INTERNALDATE BODY.PEEK[])")),
            "a3 UID FETCH 3,2,1 (UID FLAGS INTERNALDATE BODY.PEEK[])\r\n");
  EXPECT_EQ(joined(b.uid_store(7, "+FLAGS (\\Seen)")), "a4 UID STORE 7 +FLAGS (\\Seen)\r\n");
  EXPECT_EQ(joined(b.uid_move(7, "Archive")), "a5 UID MOVE 7 \"Archive\"\r\n");
  EXPECT_EQ(joined(b.uid_expunge(7)), "a6 UID EXPUNGE 7\r\n");
  EXPECT_EQ(joined(b.list("", "*")), "a7 LIST \"\" \"*\"\r\n");
  EXPECT_EQ(joined(b.logout()), "a8 LOGOUT\r\n");
}

TEST(CommandBuilder, StringsAreQuotedEscapedOrSentAsLiterals) {
  struct Case {
    std::string password;
    std::vector<std::string> parts;
  };
  const std::vector<Case> cases = {
      {"plain", {"a1 LOGIN \"bob\" \"plain\"\r\n"}},
      {"", {"a1 LOGIN \"bob\" \"\"\r\n"}},
      {"say \"hi\"", {"a1 LOGIN \"bob\" \"say \\\"hi\\\"\"\r\n"}},
      {"back\\slash", {"a1 LOGIN \"bob\" \"back\\\\slash\"\r\n"}},
      // A line break or 8-bit byte cannot be quoted: a literal carries it.
      {"x\r\na2 DELETE INBOX", {"a1 LOGIN \"bob\" {18}\r\n", "x\r\na2 DELETE INBOX\r\n"}},
      {"p\xc3\xa4ss", {"a1 LOGIN \"bob\" {5}\r\n", "p\xc3\xa4ss\r\n"}},
      {"lone\n", {"a1 LOGIN \"bob\" {5}\r\n", "lone\n\r\n"}},
  };
  for (const auto& c : cases) {
    CommandBuilder b;
    auto cmd = b.login("bob", c.password);
    ASSERT_TRUE(cmd) << c.password;
    EXPECT_EQ(cmd->parts, c.parts) << c.password;
    EXPECT_EQ(cmd->name, "LOGIN");
  }
}

TEST(CommandBuilder, RefusesNulWithoutUsingATag) {
  CommandBuilder b;
  auto cmd = b.login("bob", std::string("a\0b", 3));
  ASSERT_FALSE(cmd);
  EXPECT_NE(cmd.error().find("NUL"), std::string::npos);
  EXPECT_EQ(b.logout().tag, "a1");
}

TEST(CommandBuilder, MessageIdSearchUsesTheSameStringRules) {
  CommandBuilder b;
  EXPECT_EQ(joined(*b.uid_search_message_id("abc@example.com")),
            "a1 UID SEARCH HEADER MESSAGE-ID \"abc@example.com\"\r\n");
  auto lit = b.uid_search_message_id("x\r\ny");
  ASSERT_TRUE(lit);
  EXPECT_EQ(lit->parts,
            (std::vector<std::string>{"a2 UID SEARCH HEADER MESSAGE-ID {4}\r\n", "x\r\ny\r\n"}));
}

TEST(CommandBuilder, Xoauth2SendsTheInitialResponseAfterTheContinuation) {
  CommandBuilder b;
  Command c = b.authenticate_xoauth2("someone@example.com", "ya29.token");
  ASSERT_EQ(c.parts.size(), 2u);
  EXPECT_EQ(c.parts[0], "a1 AUTHENTICATE XOAUTH2\r\n");
  // base64("user=someone@example.com\x01auth=Bearer ya29.token\x01\x01")
  EXPECT_EQ(c.parts[1], "dXNlcj1zb21lb25lQGV4YW1wbGUuY29tAWF1dGg9QmVhcmVyIHlhMjkudG9rZW4BAQ==\r\n");
  EXPECT_TRUE(c.sasl);
}
