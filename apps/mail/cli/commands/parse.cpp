// zarn-mail-cli parse FILE [--folder KEY] [--seen] [--flagged]
//                          [--internal-date MINUTES] [--now MINUTES]
// Builds the message record of a raw message file and prints it as one JSON
// object, fields in record order; attachment content is shown as its size and
// SHA-256 digest.
#include <openssl/evp.h>

#include <charconv>
#include <chrono>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "command.h"
#include "mime/record_builder.h"
#include "record/folder.h"

namespace {

using nlohmann::ordered_json;

std::string sha256_hex(const std::vector<std::uint8_t>& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &len, EVP_sha256(), nullptr);
  static constexpr char hex[] = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < len; ++i) {
    out.push_back(hex[digest[i] >> 4]);
    out.push_back(hex[digest[i] & 0xF]);
  }
  return out;
}

ordered_json optional_text(const std::optional<std::string>& s) {
  return s ? ordered_json(*s) : ordered_json(nullptr);
}

ordered_json address_json(const mail::Address& a) {
  ordered_json j;
  j["email"] = a.email;
  j["name"] = optional_text(a.name);
  return j;
}

ordered_json record_json(const mail::MessageRecord& r) {
  ordered_json j;
  j["from"] = address_json(r.from);
  j["to"] = ordered_json::array();
  for (const auto& a : r.to) j["to"].push_back(address_json(a));
  j["cc"] = ordered_json::array();
  for (const auto& a : r.cc) j["cc"].push_back(address_json(a));
  j["subject"] = r.subject;
  j["text"] = r.text;
  j["attachments"] = ordered_json::array();
  for (const auto& a : r.attachments) {
    ordered_json att;
    att["filename"] = a.filename;
    att["content_type"] = a.content_type;
    att["content"] = ordered_json{{"size", a.content.size()}, {"sha256", sha256_hex(a.content)}};
    att["content_key"] = optional_text(a.content_key);
    att["size"] = a.size;
    att["downloaded"] = a.downloaded;
    j["attachments"].push_back(std::move(att));
  }
  j["labels"] = r.labels;
  j["message_id"] = optional_text(r.message_id);
  j["in_reply_to"] = optional_text(r.in_reply_to);
  j["html"] = optional_text(r.html);
  j["id"] = r.id.to_string();
  j["date"] = r.date;
  j["read"] = r.read;
  j["starred"] = r.starred;
  j["folder"] = std::string(mail::folder_key(r.folder));
  return j;
}

bool parse_minutes(const std::string& text, std::int64_t& out) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end && !text.empty();
}

int run_parse(std::span<const std::string> args) {
  std::optional<std::string> file;
  mail::FolderRole folder = mail::FolderRole::Inbox;
  bool seen = false, flagged = false;
  std::optional<std::int64_t> internal_date;
  std::int64_t now = std::chrono::duration_cast<std::chrono::minutes>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
  if (now < 0) now = 0;
  const auto fail_usage = [](const std::string& why) {
    std::cerr << "zarn-mail-cli parse: " << why << "\n";
    return 2;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "--seen") {
      seen = true;
    } else if (a == "--flagged") {
      flagged = true;
    } else if (a == "--folder") {
      if (!has_value) return fail_usage("--folder needs a folder key");
      auto role = mail::parse_folder_key(args[++i]);
      if (!role) return fail_usage("unknown folder key \"" + args[i] + "\"");
      folder = *role;
    } else if (a == "--internal-date" || a == "--now") {
      std::int64_t v = 0;
      if (!has_value || !parse_minutes(args[i + 1], v))
        return fail_usage(a + " needs a whole number of minutes");
      ++i;
      if (a == "--now")
        now = v;
      else
        internal_date = v;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      return fail_usage("unknown option " + a);
    } else if (!file) {
      file = a;
    } else {
      return fail_usage("more than one FILE given");
    }
  }
  if (!file) return fail_usage("missing FILE");

  std::string raw;
  if (*file == "-") {
    raw.assign(std::istreambuf_iterator<char>(std::cin), {});
  } else {
    std::ifstream in(*file, std::ios::binary);
    if (!in) {
      std::cerr << "zarn-mail-cli parse: cannot read " << *file << "\n";
      return 1;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    raw = ss.str();
  }
  auto record = mail::build_record(raw, folder, seen, flagged, internal_date, now);
  if (!record) {
    std::cerr << "zarn-mail-cli parse: " << *file << ": " << record.error() << "\n";
    return 1;
  }
  std::cout << record_json(*record).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
            << "\n";
  return 0;
}

const cli::Registration reg{
    "parse",
    "parse FILE [--folder KEY] [--seen] [--flagged] [--internal-date MINUTES] [--now MINUTES]",
    run_parse};

}  // namespace
