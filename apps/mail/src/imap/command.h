#pragma once
// IMAP command builder (RFC 3501 section 6, RFC 9051). Commands come out as
// bytes in parts: the first part is sent at once; each later part is sent
// only after the server's continuation request ("+ …"), which is how
// synchronizing literals and SASL responses travel.

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

namespace mail::imap {

struct Command {
  std::string tag;
  std::string name;                // the verb, e.g. "UID FETCH", for error texts
  std::vector<std::string> parts;  // wire bytes; parts after the first wait for "+"
  bool sasl = false;               // further continuations are answered with an empty line
};

// One argument: a raw token the caller vouches for (keywords, numbers,
// sequence sets, parenthesised item lists) or a string the builder encodes.
struct Arg {
  enum class Kind { Raw, String };
  Kind kind;
  std::string_view text;
};
inline Arg raw(std::string_view t) {
  return {Arg::Kind::Raw, t};
}
inline Arg str(std::string_view t) {
  return {Arg::Kind::String, t};
}

// How a string argument goes on the wire.
//   quoted:  every byte is 0x01–0x7F other than CR and LF; '"' and '\' are
//            escaped with '\'.
//   literal: anything else without NUL: {n} CRLF, then exactly n bytes, so no
//            byte of the argument can end it early.
//   NUL cannot be sent in an IMAP4rev1 string at all: an error.
enum class StringForm { Quoted, Literal };
[[nodiscard]] std::expected<StringForm, std::string> string_form(std::string_view text);

// Makes tags "a1", "a2", … and builds commands with them.
class CommandBuilder {
 public:
  explicit CommandBuilder(std::string prefix = "a") : prefix_(std::move(prefix)) {}

  [[nodiscard]] std::expected<Command, std::string> build(std::string_view name,
                                                          std::initializer_list<Arg> args);

  [[nodiscard]] std::expected<Command, std::string> login(std::string_view user,
                                                          std::string_view password);
  [[nodiscard]] Command authenticate_xoauth2(std::string_view login, std::string_view token);
  [[nodiscard]] Command list(std::string_view reference, std::string_view pattern);
  [[nodiscard]] Command select(std::string_view mailbox);
  // UID SEARCH with criteria the caller writes as raw keywords ("ALL").
  [[nodiscard]] Command uid_search(std::string_view criteria);
  // UID SEARCH HEADER MESSAGE-ID <value>, the value encoded as a string.
  [[nodiscard]] std::expected<Command, std::string> uid_search_message_id(
      std::string_view message_id);
  [[nodiscard]] Command uid_fetch(std::string_view set, std::string_view items);
  [[nodiscard]] Command uid_store(std::uint32_t uid, std::string_view item);
  [[nodiscard]] Command uid_move(std::uint32_t uid, std::string_view mailbox);
  [[nodiscard]] Command uid_expunge(std::uint32_t uid);
  [[nodiscard]] Command logout();

  [[nodiscard]] std::uint64_t issued() const { return counter_; }

 private:
  std::string next_tag();
  std::string prefix_;
  std::uint64_t counter_ = 0;
};

}  // namespace mail::imap
