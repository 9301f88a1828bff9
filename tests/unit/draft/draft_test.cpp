#include "draft/draft.h"

#include <gtest/gtest.h>

#include "text_codec/json_read.h"

using namespace mail;

namespace {
DraftData sample() {
  DraftData d;
  d.to = "a@x.org, b@x.org";
  d.cc = "c@x.org";
  d.bcc = "";
  d.subject = "Plans";
  d.body = "Hello";
  d.attachments = {{std::string(attachment_id_prefix) + std::string(64, 'a'), "plan.pdf",
                    "application/pdf", 1234}};
  return d;
}
}  // namespace

TEST(DraftLimits, HaveTheirValues) {
  EXPECT_EQ(max_attachment_bytes, 33554432u);
  EXPECT_EQ(max_draft_attachment_bytes, 134217728u);
  EXPECT_EQ(max_attachments_per_draft, 16u);
  EXPECT_EQ(max_attachment_name_chars, 180u);
  EXPECT_EQ(attachment_id_prefix, "mail-attachment:blake3:");
}

TEST(DraftJson, KeysInOrderWithOptionalsLeftOutWhenAbsent) {
  auto d = sample();
  EXPECT_EQ(draft_to_json(d).dump(),
            R"({"to":"a@x.org, b@x.org","cc":"c@x.org","bcc":"","subject":"Plans","body":"Hello",)"
            R"("attachments":[{"content_id":"mail-attachment:blake3:)" +
                std::string(64, 'a') +
                R"(","filename":"plan.pdf","mime":"application/pdf","size":1234}]})");
  d.html_body = "<p>Hello</p>";
  d.calendar_ics = "BEGIN:VCALENDAR\r\n";
  d.attachments.clear();
  EXPECT_EQ(draft_to_json(d).dump(),
            R"({"to":"a@x.org, b@x.org","cc":"c@x.org","bcc":"","subject":"Plans","body":"Hello",)"
            R"("html_body":"<p>Hello</p>","calendar_ics":"BEGIN:VCALENDAR\r\n","attachments":[]})");
}

TEST(DraftJson, RoundTrips) {
  auto d = sample();
  EXPECT_EQ(*draft_from_json(nlohmann::json(draft_to_json(d))), d);
  d.html_body = "<b>x</b>";
  d.calendar_ics = "ics";
  d.attachments.clear();
  EXPECT_EQ(*draft_from_json(nlohmann::json(draft_to_json(d))), d);
}

TEST(DraftJson, RefusesMissingOrMistypedFields) {
  struct Case {
    const char* text;
    const char* error_part;
  } cases[] = {
      {R"({"cc":"","bcc":"","subject":"","body":"","attachments":[]})", "missing field `to`"},
      {R"({"to":"","cc":"","bcc":"","subject":"","body":""})", "missing field `attachments`"},
      {R"({"to":1,"cc":"","bcc":"","subject":"","body":"","attachments":[]})",
       "invalid type: integer `1`"},
      {R"({"to":"","cc":"","bcc":"","subject":"","body":"","html_body":5,"attachments":[]})",
       "invalid type"},
      {R"({"to":"","cc":"","bcc":"","subject":"","body":"","attachments":[{"content_id":"x","filename":"f","mime":"a/b","size":-1}]})",
       "expected u64"},
      {R"({"to":"","cc":"","bcc":"","subject":"","body":"","attachments":[{"content_id":"x","filename":"f","mime":"a/b"}]})",
       "missing field `size`"},
      {R"({"to":"","cc":"","bcc":"","subject":"","body":"","attachments":{}})",
       "invalid type: map"},
      {R"([])", "invalid type"},
  };
  for (const auto& c : cases) {
    auto d = draft_from_json(nlohmann::json::parse(c.text));
    ASSERT_FALSE(d) << c.text;
    EXPECT_NE(d.error().find(c.error_part), std::string::npos) << d.error();
  }
  auto ok = draft_from_json(nlohmann::json::parse(
      R"({"to":"","cc":"","bcc":"","subject":"","body":"","html_body":null,"attachments":[]})"));
  ASSERT_TRUE(ok);
  EXPECT_FALSE(ok->html_body);
}

TEST(SanitizeContentType, KeepsOnlySafeCharactersAndNeedsAnInnerSlash) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"  text/plain \r\n", "text/plain"},
      {"text/plain; charset=\"utf-8\"", "text/plain;charset=utf-8"},
      {"text\\/html", "text/html"},
      {"text/pl\xc3\xa4in", "text/plin"},
      {"plain", "application/octet-stream"},
      {"/plain", "application/octet-stream"},
      {"text/", "application/octet-stream"},
      {"", "application/octet-stream"},
      {"a/" + std::string(200, 'b'), "a/" + std::string(125, 'b')},
      {std::string(127, 'a') + "/b", "application/octet-stream"},  // the slash is cut off
  };
  for (const auto& c : cases) EXPECT_EQ(sanitize_content_type(c.in), c.out) << c.in;
}

TEST(ParseStrict, RefusesRepeatedKeysAndCarriesParserMessages) {
  EXPECT_EQ(text_codec::json_read::parse_strict(R"({"a":1,"a":2})").error(), "duplicate field `a`");
  EXPECT_TRUE(text_codec::json_read::parse_strict(R"({"a":{"a":1},"b":[{"a":1},{"a":2}]})"));
  auto bad = text_codec::json_read::parse_strict("{\"a\":");
  ASSERT_FALSE(bad);
  EXPECT_NE(bad.error().find("parse error"), std::string::npos) << bad.error();
}
