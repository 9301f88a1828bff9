#include "compose/message.h"

#include <gmime/gmime.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <random>
#include <string_view>
#include <vector>

#include "attach/attach.h"
#include "compose/recipients.h"

namespace mail {
namespace {

void init_gmime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

struct GUnref {
  void operator()(gpointer p) const {
    if (p != nullptr) g_object_unref(p);
  }
};
template <class T>
using GPtr = std::unique_ptr<T, GUnref>;

// NB: the writer copies header values verbatim, so a CR or LF inside an
// address would start a header of its own (a Bcc, say). Control characters
// in addresses and names become spaces; the subject is safe because it is
// always written as encoded words when it holds them.
std::string without_controls(std::string_view s) {
  std::string out(s);
  for (auto& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) c = ' ';
  }
  return out;
}

InternetAddress* mailbox(const std::optional<std::string>& name, std::string_view email) {
  const std::string clean_email = without_controls(email);
  const std::string clean_name = name ? without_controls(*name) : std::string();
  InternetAddress* ia = internet_address_mailbox_new(
      clean_name.empty() ? nullptr : clean_name.c_str(), clean_email.c_str());
  internet_address_set_charset(ia, "utf-8");
  return ia;
}

void add_addresses(GMimeMessage* m, GMimeAddressType type, const std::vector<Address>& list) {
  InternetAddressList* target = g_mime_message_get_addresses(m, type);
  for (const auto& a : list) {
    InternetAddress* ia = mailbox(a.name, a.email);
    internet_address_list_add(target, ia);
    g_object_unref(ia);
  }
}

// A memory stream over bytes that outlive the message: no copy is made.
GMimeStream* borrowed_stream(std::string_view bytes) {
  GByteArray* array = g_byte_array_new_take(
      reinterpret_cast<guint8*>(const_cast<char*>(bytes.data())), bytes.size());
  GMimeStream* stream = g_mime_stream_mem_new_with_byte_array(array);
  g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream), FALSE);
  return stream;
}

struct Borrowed {
  std::vector<GByteArray*> arrays;
  ~Borrowed() {
    // Release the wrappers without freeing the borrowed bytes.
    for (GByteArray* a : arrays) g_byte_array_free(a, FALSE);
  }
};

void set_content(GMimePart* part, std::string_view bytes, Borrowed& borrowed) {
  GMimeStream* stream = borrowed_stream(bytes);
  borrowed.arrays.push_back(g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream)));
  GMimeDataWrapper* wrapper =
      g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
  g_mime_part_set_content(part, wrapper);
  g_object_unref(wrapper);
  g_object_unref(stream);
}

GMimeObject* text_part(const char* subtype, std::string_view text, Borrowed& borrowed) {
  GMimeTextPart* part = g_mime_text_part_new_with_subtype(subtype);
  g_mime_text_part_set_charset(part, "utf-8");
  set_content(GMIME_PART(part), text, borrowed);
  // Quoted-printable or base64 where needed, so the message passes servers
  // without 8BITMIME unchanged.
  g_mime_object_encode(GMIME_OBJECT(part), GMIME_ENCODING_CONSTRAINT_7BIT);
  return GMIME_OBJECT(part);
}

GMimeObject* attachment_part(std::string_view type, std::string_view filename,
                             std::string_view content, Borrowed& borrowed) {
  GMimePart* part = g_mime_part_new();
  GMimeContentType* ct = g_mime_content_type_parse(nullptr, std::string(type).c_str());
  g_mime_object_set_content_type(GMIME_OBJECT(part), ct);
  g_object_unref(ct);
  g_mime_object_set_disposition(GMIME_OBJECT(part), GMIME_DISPOSITION_ATTACHMENT);
  g_mime_part_set_filename(part, std::string(filename).c_str());
  set_content(part, content, borrowed);
  // Base64 keeps every byte as it was, line ends included.
  g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
  return GMIME_OBJECT(part);
}

std::string host_name() {
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0 || buf[0] == '\0') return "localhost";
  std::string name(buf);
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '.' || c == '_';
    if (!ok) return "localhost";
  }
  return name;
}

}  // namespace

std::string format_message_date(std::time_t t) {
  static constexpr const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm tm{};
  ::gmtime_r(&t, &tm);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %d %s %04d %02d:%02d:%02d +0000", days[tm.tm_wday],
                tm.tm_mday, months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::string new_message_id() {
  static std::atomic<std::uint64_t> counter{0};
  static const std::uint64_t process_salt = [] {
    std::random_device rd;
    return (static_cast<std::uint64_t>(rd()) << 32) ^ rd();
  }();
  thread_local std::mt19937_64 rng{std::random_device{}() ^ process_salt};
  const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  char token[96];
  std::snprintf(token, sizeof token, "%llx.%llx.%016llx", static_cast<unsigned long long>(now),
                static_cast<unsigned long long>(counter.fetch_add(1) ^ process_salt),
                static_cast<unsigned long long>(rng()));
  return std::string(token) + "@" + host_name();
}

namespace {

// Builds and writes the message; the bytes come back in a GByteArray the
// caller frees. Every input copy (attachment contents, the MIME tree) is gone
// by the time this returns, so the caller's copy into a string does not stack
// on top of them.
std::expected<GByteArray*, std::string> write_message(const Address& sender, const DraftData& draft,
                                                      const qdoc::BlobStore& store) {
  init_gmime();
  const auto to = parse_recipients(draft.to);
  const auto cc = parse_recipients(draft.cc);
  // draft.bcc is never written into the message.

  // Every attachment is loaded and checked before anything is built.
  std::vector<std::string> contents;
  contents.reserve(draft.attachments.size());
  for (const auto& a : draft.attachments) {
    auto content = load_for_use(a, store);
    if (!content) return std::unexpected(content.error());
    contents.push_back(std::move(*content));
  }

  Borrowed borrowed;
  GPtr<GMimeMessage> message(g_mime_message_new(FALSE));
  GMimeObject* mobj = GMIME_OBJECT(message.get());

  {
    InternetAddress* from = mailbox(sender.name, sender.email);
    internet_address_list_add(g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_FROM),
                              from);
    g_object_unref(from);
  }
  g_mime_message_set_subject(message.get(), draft.subject.c_str(), "utf-8");
  if (g_mime_object_get_header(mobj, "Subject") == nullptr) {
    g_mime_object_set_header(mobj, "Subject", "", nullptr);  // an empty subject is still written
  }
  if (!to.empty()) add_addresses(message.get(), GMIME_ADDRESS_TYPE_TO, to);
  if (!cc.empty()) add_addresses(message.get(), GMIME_ADDRESS_TYPE_CC, cc);
  g_mime_object_set_header(mobj, "Message-ID", ("<" + new_message_id() + ">").c_str(), nullptr);
  g_mime_object_set_header(mobj, "Date", format_message_date(std::time(nullptr)).c_str(), nullptr);
  g_mime_object_set_header(mobj, "MIME-Version", "1.0", nullptr);

  GPtr<GMimeObject> body(text_part("plain", draft.body, borrowed));
  if (draft.html_body) {
    GMimeMultipart* alt = g_mime_multipart_new_with_subtype("alternative");
    g_mime_multipart_add(alt, body.get());
    GPtr<GMimeObject> html(text_part("html", *draft.html_body, borrowed));
    g_mime_multipart_add(alt, html.get());
    body.reset(GMIME_OBJECT(alt));
  }
  if (!draft.attachments.empty() || draft.calendar_ics) {
    GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
    g_mime_multipart_add(mixed, body.get());
    for (std::size_t i = 0; i < draft.attachments.size(); ++i) {
      GPtr<GMimeObject> part(attachment_part(draft.attachments[i].mime,
                                             draft.attachments[i].filename, contents[i], borrowed));
      g_mime_multipart_add(mixed, part.get());
    }
    if (draft.calendar_ics) {
      GPtr<GMimeObject> part(attachment_part("text/calendar; method=REQUEST", "invitation.ics",
                                             *draft.calendar_ics, borrowed));
      g_mime_multipart_add(mixed, part.get());
    }
    body.reset(GMIME_OBJECT(mixed));
  }
  g_mime_message_set_mime_part(message.get(), body.get());

  // Room for base64 of every attachment up front, so the buffer does not
  // grow by copying.
  std::size_t estimate =
      64 * 1024 + draft.body.size() * 3 + (draft.html_body ? draft.html_body->size() * 3 : 0);
  for (const auto& c : contents) estimate += c.size() / 57 * 78 + 80;
  if (draft.calendar_ics) estimate += draft.calendar_ics->size() / 57 * 78 + 80;
  GByteArray* array =
      g_byte_array_sized_new(static_cast<guint>(std::min<std::size_t>(estimate, G_MAXUINT)));
  GPtr<GMimeStream> out(g_mime_stream_mem_new_with_byte_array(array));
  g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(out.get()), FALSE);
  GMimeFormatOptions* options = g_mime_format_options_clone(nullptr);
  g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
  const gint64 written = g_mime_object_write_to_stream(mobj, options, out.get());
  g_mime_format_options_free(options);
  if (written < 0) {
    const int err = errno;
    g_byte_array_free(array, TRUE);
    return std::unexpected(std::string("could not write the message: ") + g_strerror(err));
  }
  return array;
}

}  // namespace

std::expected<std::string, std::string> build_message(const Address& sender, const DraftData& draft,
                                                      const qdoc::BlobStore& store) {
  auto array = write_message(sender, draft, store);
  if (!array) return std::unexpected(array.error());
  std::string bytes(reinterpret_cast<const char*>((*array)->data), (*array)->len);
  g_byte_array_free(*array, TRUE);
  return bytes;
}

}  // namespace mail
