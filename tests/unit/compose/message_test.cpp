#include "compose/message.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>

#include "attach/attach.h"

namespace fs = std::filesystem;
using namespace mail;
using nlohmann::json;

namespace {

class MessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("compose-test-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    store_.emplace(qdoc::BlobStore::open_in(dir_ / "blobs"));
  }
  void TearDown() override { fs::remove_all(dir_); }

  DraftAttachment stage(const std::string& bytes, const std::string& name) {
    auto a = stage_bytes(bytes, name, *store_);
    EXPECT_TRUE(a) << a.error();
    return *a;
  }

  // What Python's email package (policy.default) reads from the bytes.
  json read_back(const std::string& bytes) {
    const fs::path file = dir_ / "message.eml";
    std::ofstream(file, std::ios::binary) << bytes;
    const std::string cmd = "/usr/bin/python3 '" ZARN_SOURCE_DIR
                            "/tests/unit/compose/read_message.py' '" +
                            file.string() + "'";
    FILE* p = ::popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    EXPECT_EQ(::pclose(p), 0) << out;
    return json::parse(out);
  }

  std::string build(const Address& from, const DraftData& d) {
    auto m = build_message(from, d, *store_);
    EXPECT_TRUE(m) << m.error();
    return m ? *m : std::string();
  }

  static std::string hex(const std::string& s) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
      out += digits[c >> 4];
      out += digits[c & 15];
    }
    return out;
  }

  fs::path dir_;
  std::optional<qdoc::BlobStore> store_;
};

std::vector<std::string> header_block(const json& r) {
  std::vector<std::string> names;
  for (const auto& n : r["header_names"]) {
    const std::string s = n;
    if (!s.starts_with("Content-")) names.push_back(s);
  }
  return names;
}

}  // namespace

TEST_F(MessageTest, PlainDraftIsOneUtf8TextPartWithTheHeadersInOrder) {
  DraftData d;
  d.to = "Bob <bob@example.org>";
  d.bcc = "hidden@example.org";
  d.subject = "Lunch?";
  d.body = "Hi Bob,\nnoon at the café?\n.\n";
  const std::string bytes = build({"ann@example.org", std::string("Ann Lee")}, d);
  const json r = read_back(bytes);
  EXPECT_EQ(header_block(r), (std::vector<std::string>{"From", "Subject", "To", "Message-ID",
                                                       "Date", "MIME-Version"}));
  for (const auto& n : r["header_names"]) {
    const std::string s = n;
    EXPECT_TRUE(s == "From" || s == "Subject" || s == "To" || s == "Message-ID" || s == "Date" ||
                s == "MIME-Version" || s == "Content-Type" || s == "Content-Transfer-Encoding")
        << s;
  }
  EXPECT_EQ(r["tree"]["content_type"], "text/plain");
  EXPECT_EQ(r["tree"]["charset"], "utf-8");
  // Text travels in canonical form: line ends are CRLF once decoded.
  EXPECT_EQ(r["tree"]["text"], "Hi Bob,\r\nnoon at the café?\r\n.\r\n");
  EXPECT_EQ(r["from"][0]["name"], "Ann Lee");
  EXPECT_EQ(r["from"][0]["addr"], "ann@example.org");
  EXPECT_EQ(r["to"], json::parse(R"([{"name":"Bob","addr":"bob@example.org"}])"));
  EXPECT_EQ(r["headers"]["MIME-Version"], "1.0");
  EXPECT_EQ(bytes.find("hidden"), std::string::npos);
  EXPECT_TRUE(r["crlf_only"]);
  EXPECT_TRUE(r["ascii_only"]);
  EXPECT_TRUE(r["tree"]["defects"].empty());
  const std::string date = r["headers"]["Date"];
  EXPECT_TRUE(std::regex_match(
      date,
      std::regex(
          R"((Sun|Mon|Tue|Wed|Thu|Fri|Sat), [1-9]\d? (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d{4} \d{2}:\d{2}:\d{2} \+0000)")))
      << date;
  const std::string id = r["headers"]["Message-ID"];
  EXPECT_TRUE(std::regex_match(id, std::regex(R"(<[^@<>\s]+@[A-Za-z0-9._-]+>)"))) << id;
}

TEST_F(MessageTest, NonAsciiNamesAndSubjectsSurviveAndCcAppearsOnlyWhenParsed) {
  DraftData d;
  d.to = "\"Jörg Müller\" <joerg@example.de>; plain@example.org";
  d.cc = "Zoe, Ann <ann@example.org>";
  d.subject =
      "Grüße aus Köln — 日本語のテスト and a rather long subject line that must be folded "
      "somewhere";
  d.body = "body";
  const json r = read_back(build({"me@example.org", std::string("Renée O’Brien, Jr.")}, d));
  EXPECT_EQ(r["subject"], d.subject);
  EXPECT_EQ(r["from"][0]["name"], "Renée O’Brien, Jr.");
  EXPECT_EQ(r["to"][0]["name"], "Jörg Müller");
  EXPECT_EQ(r["to"][0]["addr"], "joerg@example.de");
  EXPECT_EQ(r["to"][1]["addr"], "plain@example.org");
  EXPECT_EQ(header_block(r), (std::vector<std::string>{"From", "Subject", "To", "Cc", "Message-ID",
                                                       "Date", "MIME-Version"}));
  ASSERT_EQ(r["cc"].size(), 2u);
  EXPECT_EQ(r["cc"][1]["name"], "Ann");
  EXPECT_TRUE(r["ascii_only"]);
}

TEST_F(MessageTest, EmptySubjectEmptyDisplayNameAndSeparatorOnlyRecipients) {
  DraftData d;
  d.to = " , ; ,";
  d.cc = ";";
  d.body = "";
  const json r = read_back(build({"me@example.org", std::nullopt}, d));
  EXPECT_EQ(header_block(r),
            (std::vector<std::string>{"From", "Subject", "Message-ID", "Date", "MIME-Version"}));
  EXPECT_EQ(r["subject"], "");
  EXPECT_EQ(r["headers"]["From"], "me@example.org");
  EXPECT_EQ(r["tree"]["text"], "");
}

TEST_F(MessageTest, RichTextDraftIsAlternativeWithPlainFirst) {
  DraftData d;
  d.to = "bob@example.org";
  d.subject = "s";
  d.body = "Hello *world*";
  d.html_body = "<p>Hello <b>world</b> — ünïcödé</p>";
  const json r = read_back(build({"me@example.org", std::nullopt}, d));
  const auto& t = r["tree"];
  EXPECT_EQ(t["content_type"], "multipart/alternative");
  ASSERT_EQ(t["parts"].size(), 2u);
  EXPECT_EQ(t["parts"][0]["content_type"], "text/plain");
  EXPECT_EQ(t["parts"][0]["charset"], "utf-8");
  EXPECT_EQ(t["parts"][0]["text"], "Hello *world*");
  EXPECT_EQ(t["parts"][1]["content_type"], "text/html");
  EXPECT_EQ(t["parts"][1]["charset"], "utf-8");
  EXPECT_EQ(t["parts"][1]["text"], *d.html_body);
}

TEST_F(MessageTest, AttachmentsFollowTheAlternativeInDraftOrderWithTheirBytes) {
  std::mt19937 rng(3);
  std::string binary(200000, '\0');
  for (auto& c : binary) c = static_cast<char>(rng());
  const std::string text_file = "line one\nline two\r\nno final newline";
  DraftData d;
  d.to = "bob@example.org";
  d.subject = "files";
  d.body = "see attached";
  d.html_body = "<p>see attached</p>";
  d.attachments = {stage(binary, "photo.png"), stage(text_file, "Résumé – final.txt")};
  const json r = read_back(build({"me@example.org", std::nullopt}, d));
  const auto& t = r["tree"];
  EXPECT_EQ(t["content_type"], "multipart/mixed");
  ASSERT_EQ(t["parts"].size(), 3u);
  EXPECT_EQ(t["parts"][0]["content_type"], "multipart/alternative");
  EXPECT_EQ(t["parts"][1]["content_type"], "image/png");
  EXPECT_EQ(t["parts"][1]["disposition"], "attachment");
  EXPECT_EQ(t["parts"][1]["filename"], "photo.png");
  EXPECT_EQ(t["parts"][1]["bytes_hex"], hex(binary));
  EXPECT_EQ(t["parts"][2]["content_type"], "text/plain");
  EXPECT_EQ(t["parts"][2]["filename"], "Résumé – final.txt");
  EXPECT_EQ(t["parts"][2]["bytes_hex"], hex(text_file));
}

TEST_F(MessageTest, PlainTextWithAttachmentAndInvitationIsMixed) {
  const std::string ics =
      "BEGIN:VCALENDAR\r\nMETHOD:REQUEST\r\nBEGIN:VEVENT\r\nSUMMARY:Planning\r\nEND:VEVENT\r\nEND:"
      "VCALENDAR\r\n";
  DraftData d;
  d.to = "bob@example.org";
  d.subject = "invite";
  d.body = "join us";
  d.attachments = {stage("a,b\n1,2\n", "data.csv")};
  d.calendar_ics = ics;
  const json r = read_back(build({"me@example.org", std::nullopt}, d));
  const auto& t = r["tree"];
  EXPECT_EQ(t["content_type"], "multipart/mixed");
  ASSERT_EQ(t["parts"].size(), 3u);
  EXPECT_EQ(t["parts"][0]["content_type"], "text/plain");
  EXPECT_EQ(t["parts"][0]["text"], "join us");
  EXPECT_EQ(t["parts"][1]["content_type"], "text/csv");
  EXPECT_EQ(t["parts"][1]["filename"], "data.csv");
  EXPECT_EQ(t["parts"][2]["content_type"], "text/calendar");
  EXPECT_EQ(t["parts"][2]["params"]["method"], "REQUEST");
  EXPECT_EQ(t["parts"][2]["disposition"], "attachment");
  EXPECT_EQ(t["parts"][2]["filename"], "invitation.ics");
  EXPECT_EQ(t["parts"][2]["bytes_hex"], hex(ics));
}

TEST_F(MessageTest, MissingOrDamagedAttachmentFailsTheWholeAssemblyWithItsText) {
  DraftData d;
  d.to = "bob@example.org";
  d.attachments = {stage("first", "first.txt"), stage("second", "second.txt")};
  fs::remove(*store_->path_of(d.attachments[1].content_id));
  auto m = build_message({"me@example.org", std::nullopt}, d, *store_);
  ASSERT_FALSE(m);
  EXPECT_EQ(m.error(), "attachment second.txt is not available on this device yet");

  d.attachments[1] = d.attachments[0];
  d.attachments[1].size = 1;
  EXPECT_EQ(build_message({"me@example.org", std::nullopt}, d, *store_).error(),
            "attachment first.txt failed integrity validation");
}

TEST_F(MessageTest, LineBreaksInRecipientsOrSubjectCannotAddHeaders) {
  DraftData d;
  d.to = "Eve\r\nBcc: spy@evil.test <bob@example.org>, x@example.org\r\nBcc: spy2@evil.test";
  d.subject = "hi\r\nBcc: spy3@evil.test";
  d.body = "b";
  const json r = read_back(build({"me@example.org", std::string("Me\r\nBcc: spy4@evil.test")}, d));
  for (const auto& n : r["header_names"]) EXPECT_NE(n, "Bcc");
  EXPECT_EQ(header_block(r), (std::vector<std::string>{"From", "Subject", "To", "Message-ID",
                                                       "Date", "MIME-Version"}));
}

TEST_F(MessageTest, EveryMessageGetsItsOwnMessageId) {
  std::set<std::string> ids;
  for (int i = 0; i < 200; ++i) ids.insert(new_message_id());
  EXPECT_EQ(ids.size(), 200u);
}

TEST(MessageDate, UsesTheFixedTemplateInUtc) {
  EXPECT_EQ(format_message_date(0), "Thu, 1 Jan 1970 00:00:00 +0000");
  EXPECT_EQ(format_message_date(1798761599), "Thu, 31 Dec 2026 23:59:59 +0000");
  EXPECT_EQ(format_message_date(951782400), "Tue, 29 Feb 2000 00:00:00 +0000");
}
