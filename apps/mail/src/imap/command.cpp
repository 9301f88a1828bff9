#include "imap/command.h"

#include "text_codec/sasl.h"

namespace mail::imap {

std::expected<StringForm, std::string> string_form(std::string_view text) {
  bool quoted = true;
  for (unsigned char c : text) {
    if (c == 0) return std::unexpected("a command argument contains a NUL byte");
    if (c == '\r' || c == '\n' || c >= 0x80) quoted = false;
  }
  return quoted ? StringForm::Quoted : StringForm::Literal;
}

std::string CommandBuilder::next_tag() {
  return prefix_ + std::to_string(++counter_);
}

std::expected<Command, std::string> CommandBuilder::build(std::string_view name,
                                                          std::initializer_list<Arg> args) {
  // Encode first, so a refused argument does not use up a tag.
  std::vector<std::string> parts(1);
  parts.back().append(name);
  for (const Arg& arg : args) {
    parts.back().push_back(' ');
    if (arg.kind == Arg::Kind::Raw) {
      parts.back().append(arg.text);
      continue;
    }
    auto form = string_form(arg.text);
    if (!form) return std::unexpected(form.error());
    if (*form == StringForm::Quoted) {
      std::string& out = parts.back();
      out.push_back('"');
      for (char c : arg.text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
      }
      out.push_back('"');
    } else {
      parts.back() += "{" + std::to_string(arg.text.size()) + "}\r\n";
      parts.emplace_back(arg.text);
    }
  }
  parts.back().append("\r\n");
  Command cmd;
  cmd.tag = next_tag();
  cmd.name = std::string(name);
  parts.front().insert(0, cmd.tag + " ");
  cmd.parts = std::move(parts);
  return cmd;
}

std::expected<Command, std::string> CommandBuilder::login(std::string_view user,
                                                          std::string_view password) {
  return build("LOGIN", {str(user), str(password)});
}

Command CommandBuilder::authenticate_xoauth2(std::string_view login, std::string_view token) {
  Command cmd;
  cmd.tag = next_tag();
  cmd.name = "AUTHENTICATE";
  cmd.parts = {cmd.tag + " AUTHENTICATE XOAUTH2\r\n",
               text_codec::xoauth2_initial_response(login, token) + "\r\n"};
  cmd.sasl = true;
  return cmd;
}

// The builders below take only strings without NUL (fixed mailbox names,
// numbers), so build() cannot refuse them.
Command CommandBuilder::list(std::string_view reference, std::string_view pattern) {
  return *build("LIST", {str(reference), str(pattern)});
}
Command CommandBuilder::select(std::string_view mailbox) {
  return *build("SELECT", {str(mailbox)});
}
Command CommandBuilder::uid_search(std::string_view criteria) {
  return *build("UID SEARCH", {raw(criteria)});
}

std::expected<Command, std::string> CommandBuilder::uid_search_message_id(
    std::string_view message_id) {
  return build("UID SEARCH", {raw("HEADER MESSAGE-ID"), str(message_id)});
}

Command CommandBuilder::uid_fetch(std::string_view set, std::string_view items) {
  return *build("UID FETCH", {raw(set), raw(items)});
}
Command CommandBuilder::uid_store(std::uint32_t uid, std::string_view item) {
  std::string n = std::to_string(uid);
  return *build("UID STORE", {raw(n), raw(item)});
}
Command CommandBuilder::uid_move(std::uint32_t uid, std::string_view mailbox) {
  std::string n = std::to_string(uid);
  return *build("UID MOVE", {raw(n), str(mailbox)});
}
Command CommandBuilder::uid_expunge(std::uint32_t uid) {
  std::string n = std::to_string(uid);
  return *build("UID EXPUNGE", {raw(n)});
}
Command CommandBuilder::logout() {
  return *build("LOGOUT", {});
}

}  // namespace mail::imap
