#include "corpus.h"

#include <random>

#include "record/stable_id.h"

namespace bench_mail {

namespace {

const char* const words[] = {"launch", "plan",    "review",  "budget",  "shell",  "compositor",
                             "sync",   "gossip",  "mesh",    "notes",   "build",  "failed",
                             "design", "buffer",  "collab",  "spatial", "render", "invite",
                             "coffee", "standup", "quarter", "draft",   "patch",  "release"};

std::string sentence(std::mt19937& rng, int n) {
  std::uniform_int_distribution<std::size_t> pick(0, std::size(words) - 1);
  std::string s;
  for (int i = 0; i < n; ++i) {
    if (i) s += ' ';
    s += words[pick(rng)];
  }
  return s;
}

std::string base64(const std::string& in) {
  static constexpr char t[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t line = 0;
  for (std::size_t i = 0; i < in.size(); i += 3) {
    const unsigned b0 = static_cast<unsigned char>(in[i]);
    const unsigned b1 = i + 1 < in.size() ? static_cast<unsigned char>(in[i + 1]) : 0;
    const unsigned b2 = i + 2 < in.size() ? static_cast<unsigned char>(in[i + 2]) : 0;
    out += t[b0 >> 2];
    out += t[((b0 & 3) << 4) | (b1 >> 4)];
    out += i + 1 < in.size() ? t[((b1 & 15) << 2) | (b2 >> 6)] : '=';
    out += i + 2 < in.size() ? t[b2 & 63] : '=';
    if ((line += 4) >= 76) {
      out += "\r\n";
      line = 0;
    }
  }
  return out + "\r\n";
}

std::string headers(std::mt19937& rng, std::size_t i, const std::string& extra) {
  return "From: Sender " + std::to_string(i % 97) + " <sender" + std::to_string(i % 97) +
         "@example.com>\r\nTo: You <you@example.com>\r\nSubject: " + sentence(rng, 5) +
         "\r\nDate: Tue, 30 Jun 2026 13:35:00 +0000\r\nMessage-ID: <gen-" + std::to_string(i) +
         "@example.com>\r\nMIME-Version: 1.0\r\n" + extra;
}

std::string body(std::mt19937& rng, int paragraphs) {
  std::string s;
  for (int p = 0; p < paragraphs; ++p) s += sentence(rng, 40) + ".\r\n\r\n";
  return s;
}

}  // namespace

std::vector<std::string> raw_corpus(std::size_t count) {
  std::mt19937 rng(4821);
  std::vector<std::string> out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::string m;
    switch (i % 6) {
      case 0:
        m = headers(rng, i,
                    "Content-Type: text/plain; charset=utf-8\r\n"
                    "Content-Transfer-Encoding: quoted-printable\r\n\r\n") +
            "Caf=C3=A9 " + body(rng, 4);
        break;
      case 1:
        m = headers(rng, i,
                    "Content-Type: text/plain; charset=utf-8\r\n"
                    "Content-Transfer-Encoding: base64\r\n\r\n") +
            base64("Grüße " + body(rng, 5));
        break;
      case 2:
        m = headers(rng, i,
                    "Content-Type: text/plain; charset=iso-8859-1\r\n"
                    "Content-Transfer-Encoding: 8bit\r\n\r\n") +
            "caf\xe9 " + body(rng, 3);
        break;
      case 3:
        m = headers(rng, i, "Content-Type: text/html; charset=utf-8\r\n\r\n") +
            "<html><head><style>p{margin:0}</style></head><body><h1>" + sentence(rng, 4) +
            "</h1><p>" + body(rng, 3) + "</p><ul><li>" + sentence(rng, 6) + "</li><li>" +
            sentence(rng, 6) + "</li></ul><blockquote>" + sentence(rng, 12) +
            "</blockquote></body></html>\r\n";
        break;
      case 4: {
        std::string blob(16 * 1024, '\0');
        for (auto& c : blob) c = static_cast<char>(rng());
        m = headers(rng, i, "Content-Type: multipart/mixed; boundary=\"o\"\r\n\r\n") +
            "--o\r\nContent-Type: multipart/alternative; boundary=\"i\"\r\n\r\n"
            "--i\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" +
            body(rng, 2) + "--i\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>" +
            body(rng, 2) +
            "</p>\r\n--i--\r\n--o\r\nContent-Type: application/pdf\r\n"
            "Content-Disposition: attachment; filename=\"report.pdf\"\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\n" +
            base64(blob) + "--o--\r\n";
        break;
      }
      default:
        m = headers(rng, i,
                    "In-Reply-To: <gen-" + std::to_string(i - 1) +
                        "@example.com>\r\nContent-Type: multipart/mixed; boundary=\"f\"\r\n\r\n") +
            "--f\r\nContent-Type: text/plain\r\n\r\nForwarded.\r\n--f\r\n"
            "Content-Type: message/rfc822\r\n\r\nFrom: a@example.org\r\nSubject: inner\r\n\r\n" +
            body(rng, 2) + "--f--\r\n";
        break;
    }
    out.push_back(std::move(m));
  }
  return out;
}

mail::MailDocument generated_document(std::size_t count) {
  std::mt19937 rng(29713805);
  mail::MailDocument doc;
  std::uniform_int_distribution<int> percent(0, 99);
  for (std::size_t i = 0; i < count; ++i) {
    mail::MessageRecord r;
    r.message_id = "msg-" + std::to_string(i) + "@example.com";
    r.id = mail::stable_message_id(*r.message_id);
    const int p = percent(rng);
    if (i > 0 && p < 35) {
      std::uniform_int_distribution<std::size_t> parent(i > 200 ? i - 200 : 0, i - 1);
      r.in_reply_to = "<msg-" + std::to_string(parent(rng)) + "@example.com>";
    }
    r.subject = (r.in_reply_to ? "Re: " : "") + sentence(rng, 5);
    r.from = {"sender" + std::to_string(i % 331) + "@example.com",
              "Sender " + std::to_string(i % 331)};
    r.text = sentence(rng, 60);
    r.date = 29713805 - static_cast<std::int64_t>(count - i) * 7;
    r.read = p % 3 != 0;
    r.starred = p % 17 == 0;
    r.folder = p < 80 ? mail::FolderRole::Inbox
                      : (p < 88 ? mail::FolderRole::Archive
                                : (p < 95 ? mail::FolderRole::Sent : mail::FolderRole::Trash));
    doc.upsert(std::move(r));
  }
  return doc;
}

}  // namespace bench_mail
