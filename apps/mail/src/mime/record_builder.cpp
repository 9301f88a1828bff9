#include "mime/record_builder.h"

#include <gmime/gmime.h>

#include <mutex>

#include "mime/charset.h"
#include "mime/content_type.h"
#include "mime/html_text.h"
#include "record/stable_id.h"
#include "record/text.h"

namespace mail {

namespace {

void ensure_gmime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

// Owns one GObject reference.
template <typename T>
struct Ref {
  T* p = nullptr;
  explicit Ref(T* ptr) : p(ptr) {}
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() {
    if (p) g_object_unref(p);
  }
};

std::string from_c(const char* s) {
  return s ? utf8_sanitize(s) : std::string();
}

std::string normalize_newlines(std::string s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

void collect_addresses(InternetAddressList* list, std::vector<Address>& out, int depth = 0) {
  if (list == nullptr || depth > 4) return;
  const int n = internet_address_list_length(list);
  for (int i = 0; i < n; ++i) {
    InternetAddress* ia = internet_address_list_get_address(list, i);
    if (INTERNET_ADDRESS_IS_GROUP(ia)) {
      collect_addresses(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(ia)), out,
                        depth + 1);
    } else if (INTERNET_ADDRESS_IS_MAILBOX(ia)) {
      const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(ia));
      std::string email = from_c(addr);
      if (trim_unicode(email).empty()) continue;
      Address a{std::move(email), std::nullopt};
      const char* name = internet_address_get_name(ia);
      if (name != nullptr && *name != '\0') a.name = from_c(name);
      out.push_back(std::move(a));
    }
  }
}

std::vector<Address> addresses(GMimeMessage* msg, GMimeAddressType type) {
  std::vector<Address> out;
  collect_addresses(g_mime_message_get_addresses(msg, type), out);
  return out;
}

std::string stream_bytes(GMimeStream* stream) {
  GByteArray* arr = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
  if (arr == nullptr || arr->len == 0) return {};
  return std::string(reinterpret_cast<const char*>(arr->data), arr->len);
}

// The part's content with its transfer encoding undone.
std::string decoded_content(GMimePart* part) {
  GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
  if (wrapper == nullptr) return {};
  Ref<GMimeStream> out(g_mime_stream_mem_new());
  g_mime_data_wrapper_write_to_stream(wrapper, out.p);
  return stream_bytes(out.p);
}

std::string decoded_text(GMimePart* part) {
  const char* charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
  return normalize_newlines(detail::to_utf8(decoded_content(part), charset ? charset : ""));
}

bool is_attachment_disposition(GMimeObject* obj) {
  GMimeContentDisposition* disp = g_mime_object_get_content_disposition(obj);
  return disp != nullptr && g_mime_content_disposition_is_attachment(disp);
}

std::string part_filename(GMimeObject* obj) {
  const char* name = nullptr;
  if (GMIME_IS_PART(obj)) {
    name = g_mime_part_get_filename(GMIME_PART(obj));
  } else {
    name = g_mime_object_get_content_disposition_parameter(obj, "filename");
    if (name == nullptr) name = g_mime_object_get_content_type_parameter(obj, "name");
  }
  std::string filename = from_c(name);
  if (trim_unicode(filename).empty()) return "attachment.bin";
  return filename;
}

AttachmentRecord make_attachment(std::string filename, std::string content) {
  AttachmentRecord a;
  a.content_type = mime_from_name(filename);
  a.filename = std::move(filename);
  a.content.assign(content.begin(), content.end());
  a.size = a.content.size();
  a.downloaded = !a.content.empty();
  return a;
}

struct Walk {
  std::optional<std::string> text;
  std::optional<std::string> html;  // first HTML body, decoded
  std::vector<AttachmentRecord> attachments;
};

constexpr int max_depth = 64;

void walk(GMimeObject* obj, Walk& w, int depth) {
  if (obj == nullptr || depth > max_depth) return;
  if (GMIME_IS_MULTIPART(obj)) {
    GMimeMultipart* mp = GMIME_MULTIPART(obj);
    const int n = g_mime_multipart_get_count(mp);
    for (int i = 0; i < n; ++i) walk(g_mime_multipart_get_part(mp, i), w, depth + 1);
    return;
  }
  if (GMIME_IS_MESSAGE_PART(obj)) {
    // An attached message travels whole, as its own bytes.
    GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(obj));
    std::string bytes;
    if (inner != nullptr) {
      Ref<GMimeStream> out(g_mime_stream_mem_new());
      g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, out.p);
      bytes = stream_bytes(out.p);
    }
    w.attachments.push_back(make_attachment(part_filename(obj), std::move(bytes)));
    return;
  }
  if (!GMIME_IS_PART(obj)) return;
  GMimePart* part = GMIME_PART(obj);
  GMimeContentType* ct = g_mime_object_get_content_type(obj);
  const bool attachment = is_attachment_disposition(obj);
  if (!attachment && ct != nullptr && g_mime_content_type_is_type(ct, "text", "plain")) {
    if (!w.text) w.text = decoded_text(part);
    return;
  }
  if (!attachment && ct != nullptr && g_mime_content_type_is_type(ct, "text", "html")) {
    if (!w.html) w.html = decoded_text(part);
    return;
  }
  w.attachments.push_back(make_attachment(part_filename(obj), decoded_content(part)));
}

// RFC 5322 §3.6.4: msg-id lists. The first id of In-Reply-To, else the last
// of References.
std::optional<std::string> parent_id(GMimeMessage* msg) {
  GMimeObject* obj = GMIME_OBJECT(msg);
  auto ids = [](const char* value, bool last) -> std::optional<std::string> {
    if (value == nullptr) return std::nullopt;
    GMimeReferences* refs = g_mime_references_parse(nullptr, value);
    std::optional<std::string> found;
    if (refs != nullptr) {
      const int n = g_mime_references_length(refs);
      if (n > 0) {
        const char* id = g_mime_references_get_message_id(refs, last ? n - 1 : 0);
        if (id != nullptr && *id != '\0') found = from_c(id);
      }
      g_mime_references_free(refs);
    }
    if (!found) {
      // Not a well-formed msg-id list: keep the text without its brackets.
      std::string_view t = trim_unicode(value);
      if (!t.empty() && t.front() == '<') t.remove_prefix(1);
      if (!t.empty() && t.back() == '>') t.remove_suffix(1);
      t = trim_unicode(t);
      if (!t.empty()) found = utf8_sanitize(t);
    }
    return found;
  };
  if (auto id = ids(g_mime_object_get_header(obj, "In-Reply-To"), false)) return id;
  return ids(g_mime_object_get_header(obj, "References"), true);
}

}  // namespace

std::expected<MessageRecord, std::string> build_record(const FetchedMessage& in) {
  ensure_gmime();
  if (in.raw.empty()) return std::unexpected("empty message");
  Ref<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(
      reinterpret_cast<const char*>(in.raw.data()), in.raw.size()));
  Ref<GMimeParser> parser(g_mime_parser_new_with_stream(stream.p));
  g_mime_parser_set_format(parser.p, GMIME_FORMAT_MESSAGE);
  Ref<GMimeMessage> msg(g_mime_parser_construct_message(parser.p, nullptr));
  if (msg.p == nullptr) return std::unexpected("not a message: no header could be parsed");

  MessageRecord r;
  std::vector<Address> from = addresses(msg.p, GMIME_ADDRESS_TYPE_FROM);
  r.from = from.empty() ? Address{"unknown@unknown", std::nullopt} : std::move(from.front());
  r.to = addresses(msg.p, GMIME_ADDRESS_TYPE_TO);
  r.cc = addresses(msg.p, GMIME_ADDRESS_TYPE_CC);
  const char* subject = g_mime_message_get_subject(msg.p);
  r.subject = subject ? from_c(subject) : std::string("(no subject)");

  Walk w;
  walk(g_mime_message_get_mime_part(msg.p), w, 0);
  if (w.text)
    r.text = std::move(*w.text);
  else if (w.html)
    r.text = html_to_text(*w.html);
  r.attachments = std::move(w.attachments);
  if (w.html && !trim_unicode(*w.html).empty()) r.html = std::move(*w.html);

  if (const char* mid = g_mime_message_get_message_id(msg.p); mid != nullptr) {
    std::string id = from_c(mid);
    if (!trim_unicode(id).empty()) r.message_id = std::move(id);
  }
  r.in_reply_to = parent_id(msg.p);
  r.id = stable_message_id(r.message_id ? std::optional<std::string_view>(*r.message_id)
                                        : std::nullopt);

  if (in.internal_date) {
    r.date = *in.internal_date;
  } else if (GDateTime* dt = g_mime_message_get_date(msg.p); dt != nullptr) {
    r.date = g_date_time_to_unix(dt) / 60;
  } else {
    r.date = in.now;
  }
  r.read = in.seen;
  r.starred = in.flagged;
  r.folder = in.folder;
  return r;
}

std::expected<MessageRecord, std::string> build_record(std::string_view raw, FolderRole folder,
                                                       bool seen, bool flagged,
                                                       std::optional<std::int64_t> internal_date,
                                                       std::int64_t now) {
  return build_record(
      FetchedMessage{std::span(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()),
                     folder, seen, flagged, internal_date, now});
}

}  // namespace mail
