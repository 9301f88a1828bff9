#include "mime/record_builder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "mime/html_text.h"
#include "record/stable_id.h"
#include "record/text.h"

namespace mail {
namespace {

std::string corpus(const std::string& name) {
  std::ifstream in(std::string(ZARN_SOURCE_DIR) + "/tests/unit/mime/corpus/" + name,
                   std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  EXPECT_FALSE(ss.str().empty()) << name;
  return ss.str();
}

MessageRecord build(const std::string& name, std::optional<std::int64_t> internal = std::nullopt) {
  auto r = build_record(corpus(name), FolderRole::Archive, true, false, internal, 777);
  EXPECT_TRUE(r.has_value()) << name << ": " << (r ? "" : r.error());
  return r.value_or(MessageRecord{});
}

TEST(RecordBuilder, DecodesBodiesFromEveryTransferEncodingAndCharset) {
  struct Case {
    const char* file;
    const char* text;
  } cases[] = {
      {"quoted-printable-body.eml",
       "Café au lait at ten — a long line that is soft-wrapped by the encoder so it continues "
       "here.\nSecond line= \n"},
      {"base64-body.eml", "Grüße aus Köln!\nZweite Zeile — mit Gedankenstrich.\n"},
      {"latin1-body.eml", "Voilà, un café très noir à 5 °C.\n"},
      {"windows-1252-body.eml", "“Smart quotes” cost 5 € – really…\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(build(c.file).text, c.text) << c.file;
}

TEST(RecordBuilder, FillsHeadersAndAddressesInOrder) {
  const auto r = build("quoted-printable-body.eml");
  EXPECT_EQ(r.from, (Address{"ada@example.org", "Ada Example"}));
  ASSERT_EQ(r.to.size(), 2u);
  EXPECT_EQ(r.to[0], (Address{"bo@example.net", "Bo Example"}));
  EXPECT_EQ(r.to[1], (Address{"carol@example.com", std::nullopt}));
  ASSERT_EQ(r.cc.size(), 1u);
  EXPECT_EQ(r.cc[0].name, "Dee, Team");
  EXPECT_EQ(r.subject, "Quoted-printable body");
  EXPECT_EQ(r.message_id, "qp-1@example.org");
  EXPECT_EQ(r.id, stable_message_id("<qp-1@example.org>"));
  // Tue, 03 Mar 2026 09:05:00 +0000
  EXPECT_EQ(r.date, 1772528700 / 60);
  EXPECT_TRUE(r.read);
  EXPECT_FALSE(r.starred);
  EXPECT_EQ(r.folder, FolderRole::Archive);
  EXPECT_TRUE(r.labels.empty());
  EXPECT_FALSE(r.html.has_value());
}

TEST(RecordBuilder, DecodesEncodedWordsAndParameterEncodings) {
  const auto r = build("encoded-words.eml");
  EXPECT_EQ(r.subject, "Räksmörgås and été");
  EXPECT_EQ(r.from.name, "Åsa Exempel");
  ASSERT_EQ(r.attachments.size(), 2u);
  EXPECT_EQ(r.attachments[0].filename, "Räkning.pdf");
  EXPECT_EQ(r.attachments[0].content_type, "application/pdf");
  EXPECT_EQ(r.attachments[1].filename, "übersicht März.csv");
  EXPECT_EQ(r.attachments[1].content_type, "text/csv");
  const std::string csv(r.attachments[1].content.begin(), r.attachments[1].content.end());
  EXPECT_EQ(csv, "a,b\r\n1,2");
}

TEST(RecordBuilder, RendersHtmlOnlyMailAsTextAndKeepsTheHtml) {
  const auto r = build("html-only.eml");
  EXPECT_EQ(r.text,
            "Weekly news\n\nFirst paragraph with bold text.\n\nSecond\nline two\n\n- one\n- two");
  ASSERT_TRUE(r.html.has_value());
  EXPECT_NE(r.html->find("<h1>Weekly   news</h1>"), std::string::npos);
  EXPECT_EQ(r.text.find("alert"), std::string::npos);
  EXPECT_EQ(r.text.find("color"), std::string::npos);
  EXPECT_EQ(r.text.find("Ignored title"), std::string::npos);
}

TEST(RecordBuilder, TakesPlainAndHtmlFromAlternativeInsideMixed) {
  const auto r = build("alternative-in-mixed.eml");
  EXPECT_EQ(r.text, "Plain version of the body.");
  EXPECT_EQ(r.html, "<p>HTML <i>version</i> of the body.</p>");
  ASSERT_EQ(r.attachments.size(), 2u);
  // The extension decides the type, not the part's own header.
  EXPECT_EQ(r.attachments[0].filename, "report.PDF");
  EXPECT_EQ(r.attachments[0].content_type, "application/pdf");
  EXPECT_EQ(r.attachments[0].content, (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(r.attachments[0].size, 6u);
  EXPECT_TRUE(r.attachments[0].downloaded);
  EXPECT_FALSE(r.attachments[0].content_key.has_value());
  // A nameless inline image.
  EXPECT_EQ(r.attachments[1].filename, "attachment.bin");
  EXPECT_EQ(r.attachments[1].content_type, "application/octet-stream");
  EXPECT_EQ(r.attachments[1].size, 8u);
}

TEST(RecordBuilder, KeepsAnAttachedMessageWholeAndFollowsInReplyTo) {
  const auto r = build("rfc822-attachment.eml");
  EXPECT_EQ(r.text, "Forwarding the original below.");
  ASSERT_EQ(r.attachments.size(), 1u);
  EXPECT_EQ(r.attachments[0].filename, "original.eml");
  const std::string inner(r.attachments[0].content.begin(), r.attachments[0].content.end());
  EXPECT_NE(inner.find("Subject: the original"), std::string::npos);
  EXPECT_NE(inner.find("Inner body text."), std::string::npos);
  // The first id of In-Reply-To wins over References.
  EXPECT_EQ(r.in_reply_to, "first@example.com");
}

TEST(RecordBuilder, FallsBackForMissingFromSubjectIdAndDate) {
  const auto no_from = build("missing-from.eml");
  EXPECT_EQ(no_from.from, (Address{"unknown@unknown", std::nullopt}));
  EXPECT_EQ(no_from.in_reply_to, "c@example.com");  // last References id
  EXPECT_EQ(no_from.date, 777);                     // no Date header: now

  const auto a = build("missing-message-id.eml");
  const auto b = build("missing-message-id.eml");
  EXPECT_FALSE(a.message_id.has_value());
  EXPECT_NE(a.id, b.id);  // a fresh id on every fetch
  EXPECT_EQ(a.id.bytes[6] >> 4, 4);
  EXPECT_EQ(a.subject, "(no subject)");
  EXPECT_TRUE(a.to.empty());   // an empty group
  ASSERT_EQ(a.cc.size(), 2u);  // group members
  EXPECT_EQ(a.cc[1].email, "two@example.com");
}

TEST(RecordBuilder, KeepsWhatArrivedOfATruncatedMessage) {
  const auto r = build("truncated.eml");
  EXPECT_EQ(r.text, "The body made it.");
  ASSERT_EQ(r.attachments.size(), 1u);
  EXPECT_EQ(r.attachments[0].filename, "archive.zip");
  EXPECT_EQ(r.attachments[0].content_type, "application/zip");
  EXPECT_GT(r.attachments[0].size, 0u);
  // -0500: 15:00 UTC.
  EXPECT_EQ(r.date, 1773154800 / 60);
}

TEST(RecordBuilder, InternalDateWinsOverTheDateHeader) {
  EXPECT_EQ(build("base64-body.eml", 42).date, 42);
  EXPECT_EQ(build("base64-body.eml", -5).date, -5);
}

TEST(RecordBuilder, DateBeforeTheEpochTruncatesTowardZero) {
  const std::string raw =
      "From: a@example.com\r\nDate: Wed, 31 Dec 1969 23:59:30 +0000\r\nSubject: old\r\n\r\nx\r\n";
  auto r = build_record(raw, FolderRole::Inbox, false, false, std::nullopt, 9);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->date, 0);  // -30 s / 60 truncates to 0
}

TEST(RecordBuilder, SkipsBytesThatAreNotAMessage) {
  for (std::string raw :
       {std::string(), std::string("hello world\n"), std::string("\x00\x01\x02\xff\xfe", 5)}) {
    auto r = build_record(raw, FolderRole::Inbox, false, false, std::nullopt, 0);
    EXPECT_FALSE(r.has_value()) << raw;
  }
}

TEST(RecordBuilder, UndecodableBytesStillGiveValidUtf8) {
  const std::string raw =
      "From: =?bogus-charset?Q?x=FF?= <a@example.com>\r\nSubject: \xff\xfe bad\r\n"
      "Content-Type: text/plain; charset=no-such-charset\r\n\r\n\xc3\x28 body \xff\r\n";
  auto r = build_record(raw, FolderRole::Inbox, false, false, std::nullopt, 0);
  ASSERT_TRUE(r);
  for (const std::string& s : {r->from.email, r->from.name.value_or(""), r->subject, r->text})
    EXPECT_EQ(utf8_sanitize(s), s) << s;
  EXPECT_NE(r->text.find("body"), std::string::npos);
}

TEST(StableMessageId, IgnoresBracketsAndSurroundingSpace) {
  const Uuid plain = stable_message_id("abc@example.com");
  EXPECT_EQ(stable_message_id("<abc@example.com>"), plain);
  EXPECT_EQ(stable_message_id("  <abc@example.com>\t"), plain);
  EXPECT_EQ(stable_message_id("<<abc@example.com>>"), plain);
  EXPECT_NE(stable_message_id("abd@example.com"), plain);
}

TEST(StableMessageId, IsTheTwoFnvHashesBigEndian) {
  // FNV-1a of "a": standard basis gives 0xaf63dc4c8601ec8c.
  const Uuid id = stable_message_id("a");
  EXPECT_EQ(id.to_string().substr(0, 18), "af63dc4c-8601-ec8c");
  // Second state: (0x0102030405060708 ^ 0x61) * 0x100000001b3 mod 2^64.
  std::uint64_t h = (0x0102030405060708ull ^ 0x61) * 0x100000001b3ull;
  char expect[17];
  std::snprintf(expect, sizeof expect, "%016llx", static_cast<unsigned long long>(h));
  const std::string text = id.to_string();
  EXPECT_EQ(text.substr(19, 4) + text.substr(24), expect);
  // The empty text between brackets still hashes (it was not blank).
  EXPECT_EQ(stable_message_id("<>"), stable_message_id("<>"));
}

TEST(StableMessageId, BlankOrMissingGivesAFreshRandomId) {
  EXPECT_NE(stable_message_id("   "), stable_message_id("   "));
  EXPECT_NE(stable_message_id(std::nullopt), stable_message_id(std::nullopt));
  EXPECT_EQ(stable_message_id(" \t ").bytes[6] >> 4, 4);
}

TEST(HtmlToText, KeepsStructureAndDropsWhatIsNotShown) {
  struct Case {
    const char* html;
    const char* text;
  } cases[] = {
      {"<p>a</p><p>b</p>", "a\n\nb"},
      {"line<br>next<br><br>gap", "line\nnext\n\ngap"},
      {"<div>x</div><div>y</div>", "x\ny"},
      {"<pre>  keep\n    this</pre>", "  keep\n    this"},
      {"<script>var a = 1;</script><style>.x{}</style>seen", "seen"},
      {"a &amp; b &lt;c&gt;", "a & b <c>"},
      {"<table><tr><td>1</td><td>2</td></tr><tr><td>3</td></tr></table>", "1 2\n3"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(html_to_text(c.html), c.text) << c.html;
}

TEST(HtmlToText, HostileNestingIsCutNotFollowed) {
  // Nesting this deep would take the parser minutes and gigabytes.
  std::string html = "<p>kept</p>";
  for (int i = 0; i < 50000; ++i) html += "<div><span>";
  html += "too deep";
  EXPECT_EQ(html_to_text(html), "kept");

  // Ordinary depth, and many elements that close themselves, are untouched.
  std::string flat;
  for (int i = 0; i < 3000; ++i) flat += "<p>para<br><li>item<td>cell";
  flat += "<div><div><b>end</b></div></div>";
  EXPECT_NE(html_to_text(flat).find("end"), std::string::npos);
}

}  // namespace
}  // namespace mail
