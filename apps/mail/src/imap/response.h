#pragma once
// IMAP server responses (RFC 3501 section 7, RFC 9051 section 7), parsed from
// one frame of framing.h. Malformed input gives an error value, never a crash;
// nesting is bounded, so no input makes the parser recurse without limit.

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mail::imap {

enum class Status { Ok, No, Bad, PreAuth, Bye };

// "+ text": the server waits for more of the command.
struct Continuation {
  std::string text;
};

// "tag OK|NO|BAD text": completion of one command. `text` keeps a response
// code as sent ("[AUTHENTICATIONFAILED] Authentication failed.").
struct Tagged {
  std::string tag;
  Status status = Status::Ok;
  std::string text;
};

// "* OK|NO|BAD|PREAUTH|BYE text"; the greeting is one of these.
struct StatusResponse {
  Status status = Status::Ok;
  std::string text;
};

struct BodySection {
  std::string section;                  // between the brackets: "" for the whole message
  std::optional<std::uint32_t> origin;  // "<n>" of a partial fetch
  std::optional<std::string> data;      // NIL gives nothing
};

// "* n FETCH (...)". Items the engine does not use are skipped.
struct Fetch {
  std::uint32_t seq = 0;
  std::optional<std::uint32_t> uid;
  std::optional<std::vector<std::string>> flags;
  std::optional<std::int64_t> internal_date;  // seconds since the epoch, zone applied
  std::vector<BodySection> bodies;
};

// "* SEARCH n n …".
struct Search {
  std::vector<std::uint32_t> ids;
};

// "* LIST (attributes) delimiter name".
struct ListEntry {
  std::vector<std::string> attributes;
  std::optional<char> delimiter;
  std::string name;
};

// "* n EXISTS", "* n EXPUNGE", "* n RECENT".
struct Numbered {
  std::uint32_t number = 0;
  std::string name;
};

// Any other untagged response (CAPABILITY, FLAGS, ENABLED, …), kept as text.
struct Other {
  std::string name;
  std::string text;
};

using Response =
    std::variant<Continuation, Tagged, StatusResponse, Fetch, Search, ListEntry, Numbered, Other>;

[[nodiscard]] std::expected<Response, std::string> parse_response(std::string_view frame);

// INTERNALDATE text "dd-Mon-yyyy hh:mm:ss +zzzz" → seconds since the epoch.
[[nodiscard]] std::expected<std::int64_t, std::string> parse_internal_date(std::string_view text);

[[nodiscard]] std::string_view status_name(Status status);

}  // namespace mail::imap
