#include "actions/verbs.h"

#include <gtest/gtest.h>

using namespace mail;

namespace {
const std::string id1 = "6f1c2a3b-0d4e-4f5a-8b6c-7d8e9f0a1b2c";
const std::string id2 = "00000000-0000-4000-8000-000000000002";
const std::string id3 = "ffffffff-ffff-4fff-bfff-ffffffffffff";
}  // namespace

TEST(MailActionJson, EachVariantEncodesAndDecodesBack) {
  DraftData draft;
  draft.to = "a@x.org";
  draft.subject = "Hi";
  draft.body = "Body";
  draft.html_body = "<p>Body</p>";
  struct Case {
    MailAction action;
    std::string json;
  } cases[] = {
      {{MailAction::SetRead{{id3, id1, id2}, true}},
       R"({"SetRead":{"ids":[")" + id3 + R"(",")" + id1 + R"(",")" + id2 + R"("],"read":true}})"},
      {{MailAction::SetStarred{{id1}, false}},
       R"({"SetStarred":{"ids":[")" + id1 + R"("],"starred":false}})"},
      {{MailAction::Move{{id1}, "archive"}},
       R"({"Move":{"ids":[")" + id1 + R"("],"folder":"archive"}})"},
      {{MailAction::Purge{{}}}, R"({"Purge":{"ids":[]}})"},
      {{MailAction::AddLabel{{id1}, "work"}},
       R"({"AddLabel":{"ids":[")" + id1 + R"("],"label":"work"}})"},
      {{MailAction::RemoveLabel{{id1}, "work"}},
       R"({"RemoveLabel":{"ids":[")" + id1 + R"("],"label":"work"}})"},
      {{MailAction::CreateFolder{"f1", "Projects"}},
       R"({"CreateFolder":{"id":"f1","name":"Projects"}})"},
      {{MailAction::RenameFolder{"f1", "Old"}}, R"({"RenameFolder":{"id":"f1","name":"Old"}})"},
      {{MailAction::DeleteFolder{"f1"}}, R"({"DeleteFolder":{"id":"f1"}})"},
      {{MailAction::SaveDraft{draft}},
       R"({"SaveDraft":{"to":"a@x.org","cc":"","bcc":"","subject":"Hi","body":"Body","html_body":"<p>Body</p>","attachments":[]}})"},
      {{MailAction::DiscardDraft{}}, R"("DiscardDraft")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(encode_mail_action(c.action), c.json);
    auto back = decode_mail_action(c.json);
    ASSERT_TRUE(back) << c.json << ": " << back.error();
    EXPECT_EQ(*back, c.action) << c.json;
  }
}

TEST(MailOperationJson, EachVariantEncodesAndDecodesBack) {
  struct Case {
    MailOperation operation;
    std::string json;
  } cases[] = {
      {{MailOperation::ComposeNew{}}, R"("ComposeNew")"},
      {{MailOperation::RefreshCurrentFolder{}}, R"("RefreshCurrentFolder")"},
      {{MailOperation::RevealFolder{"inbox"}}, R"({"RevealFolder":{"folder":"inbox"}})"},
      {{MailOperation::RevealAccount{"ada@example.org"}},
       R"({"RevealAccount":{"id":"ada@example.org"}})"},
      {{MailOperation::RevealMessage{id1}}, R"({"RevealMessage":{"id":")" + id1 + R"("}})"},
      {{MailOperation::InspectMessage{id1}}, R"({"InspectMessage":{"id":")" + id1 + R"("}})"},
      {{MailOperation::Reply{id1}}, R"({"Reply":{"id":")" + id1 + R"("}})"},
      {{MailOperation::ReplyAll{id1}}, R"({"ReplyAll":{"id":")" + id1 + R"("}})"},
      {{MailOperation::Forward{id1}}, R"({"Forward":{"id":")" + id1 + R"("}})"},
      {{MailOperation::RevealDraft{}}, R"("RevealDraft")"},
      {{MailOperation::SaveAttachment{id2, 3}},
       R"({"SaveAttachment":{"message_id":")" + id2 + R"(","index":3}})"},
      {{MailOperation::PrepareCalendarInvitation{"a@x.org", "Meet", "Hi", "BEGIN:VCALENDAR"}},
       R"({"PrepareCalendarInvitation":{"to":"a@x.org","subject":"Meet","body":"Hi","calendar_ics":"BEGIN:VCALENDAR"}})"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(encode_mail_operation(c.operation), c.json);
    auto back = decode_mail_operation(c.json);
    ASSERT_TRUE(back) << c.json << ": " << back.error();
    EXPECT_EQ(*back, c.operation) << c.json;
  }
}

TEST(VerbDecoding, RefusalsCarryTheReason) {
  struct Case {
    bool operation;  // decode as MailOperation, else MailAction
    std::string json;
    const char* error_part;
  } cases[] = {
      {true, R"({"reply":{"id":")" + id1 + R"("}})", "unknown variant `reply`"},
      {true, R"("composeNew")", "unknown variant `composeNew`"},
      {false, R"("discardDraft")", "unknown variant `discardDraft`"},
      {false, R"("SetRead")", "expected struct variant"},
      {false, R"({"SetRead":{"ids":[")" + id1 + R"("]}})", "missing field `read`"},
      {false, R"({"SetRead":{"ids":[")" + id1 + R"("],"read":"yes"}})",
       "invalid type: string \"yes\", expected a boolean"},
      {false, R"({"SetRead":{"ids":"x","read":true}})", "expected a sequence"},
      {false, R"({"Purge":{"ids":["not-a-uuid"]}})", "expected a hyphenated UUID"},
      {false, R"({"Purge":{"ids":[")" + id1 + R"("],"ids":[]}})", "duplicate field `ids`"},
      {false, R"({"Purge":{"ids":[]},"Move":{"ids":[],"folder":"x"}})", "single key"},
      {false, R"({"DiscardDraft":{"x":1}})", "unit variant"},
      {false, R"({"SaveDraft":{"draft":{}}})", "missing field `to`"},
      {false, "42", "invalid type: integer `42`"},
      {false, "{\"Purge\":", "parse error"},
      {true, R"({"SaveAttachment":{"message_id":")" + id1 + R"(","index":-1}})", "expected u64"},
      {true, R"({"SaveAttachment":{"message_id":")" + id1 + R"(","index":1.5}})", "invalid type"},
      {true, R"({"RevealFolder":"inbox"})", "invalid type: string \"inbox\""},
  };
  for (const auto& c : cases) {
    std::string error =
        c.operation ? decode_mail_operation(c.json).error() : decode_mail_action(c.json).error();
    EXPECT_NE(error.find(c.error_part), std::string::npos) << c.json << " → " << error;
  }
}

TEST(VerbDecoding, AcceptsUnitVariantsWithNullAndNormalisesIdCase) {
  EXPECT_EQ(*decode_mail_action(R"({"DiscardDraft":null})"),
            MailAction{MailAction::DiscardDraft{}});
  auto upper = decode_mail_operation(R"({"Reply":{"id":"6F1C2A3B-0D4E-4F5A-8B6C-7D8E9F0A1B2C"}})");
  ASSERT_TRUE(upper);
  EXPECT_EQ(*upper, MailOperation{MailOperation::Reply{id1}});
  // Unknown members inside a variant's fields are ignored.
  EXPECT_TRUE(decode_mail_action(R"({"DeleteFolder":{"id":"f","extra":true}})"));
}

TEST(VerbEncoding, NeverFailsOnTextThatIsNotUtf8) {
  MailAction a{MailAction::AddLabel{{id1}, "bad\xff"}};
  EXPECT_EQ(encode_mail_action(a),
            R"({"AddLabel":{"ids":[")" + id1 + "\"],\"label\":\"bad\xef\xbf\xbd\"}}");
}
