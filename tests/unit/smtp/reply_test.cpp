#include "smtp/reply.h"

#include <gtest/gtest.h>

using mail::smtp::parse_replies;
using mail::smtp::ReplyParser;

TEST(SmtpReply, MultiLineReplyKeepsEveryLineAndTheEnhancedCode) {
  auto r = parse_replies(
      "250-mx.example.org greets you\r\n250-SIZE 1000\r\n250 AUTH LOGIN PLAIN\r\n"
      "535 5.7.8 Authentication credentials invalid\r\n");
  ASSERT_TRUE(r) << r.error();
  ASSERT_EQ(r->size(), 2u);
  EXPECT_EQ((*r)[0].code, 250);
  EXPECT_EQ((*r)[0].lines, (std::vector<std::string>{"mx.example.org greets you", "SIZE 1000",
                                                     "AUTH LOGIN PLAIN"}));
  EXPECT_EQ((*r)[1].to_string(), "535 5.7.8 Authentication credentials invalid");
}

TEST(SmtpReply, BareCodeAndBareLineFeedAreAccepted) {
  auto r = parse_replies("250\n354 go ahead\r\n");
  ASSERT_TRUE(r) << r.error();
  EXPECT_EQ((*r)[0].code, 250);
  EXPECT_EQ((*r)[0].to_string(), "250");
  EXPECT_EQ((*r)[1].code, 354);
}

TEST(SmtpReply, RepliesSplitAtAnyByteAreReassembled) {
  const std::string wire = "220-first\r\n220 second\r\n250 ok\r\n";
  for (std::size_t split = 0; split <= wire.size(); ++split) {
    ReplyParser p;
    p.feed(wire.substr(0, split));
    std::vector<int> codes;
    while (auto r = p.next()) codes.push_back((*r)->code);
    p.feed(wire.substr(split));
    while (auto r = p.next()) codes.push_back((*r)->code);
    EXPECT_EQ(codes, (std::vector<int>{220, 250})) << "split at " << split;
    EXPECT_EQ(p.buffered(), 0u);
  }
}

TEST(SmtpReply, MalformedInputIsAnErrorNotAReply) {
  const char* bad[] = {
      "hello\r\n",               // no code
      "25\r\n",                  // short code
      "250x ok\r\n",             // bad separator
      "650 out of range\r\n",    // first digit outside 2..5
      "250-one\r\n251 two\r\n",  // codes differ within one reply
      "250 a\0b\r\n",            // NUL in text (length fixed below)
  };
  for (std::string_view b : bad) {
    std::string input(b);
    if (input.starts_with("250 a")) input = std::string("250 a\0b\r\n", 9);
    auto r = parse_replies(input);
    EXPECT_FALSE(r) << input;
  }
  EXPECT_FALSE(parse_replies("250-incomplete\r\n"));
}

TEST(SmtpReply, OverlongLinesAndEndlessRepliesAreBounded) {
  ReplyParser p;
  p.feed(std::string(ReplyParser::max_line + 10, 'x'));
  auto r = p.next();
  ASSERT_TRUE(r);
  EXPECT_FALSE(*r);

  std::string many;
  for (std::size_t i = 0; i <= ReplyParser::max_lines; ++i) many += "250-line\r\n";
  many += "250 end\r\n";
  EXPECT_FALSE(parse_replies(many));
}
