// zarn-mail-cli verb JSON: decodes a MailAction or, failing that, a
// MailOperation, and prints its canonical JSON on one line.
//   exit 0: decoded; 1: neither (the decoder's message on stderr).

#include <iostream>

#include "actions/verbs.h"
#include "command.h"
#include "text_codec/json_read.h"

namespace {

bool names_variant(const nlohmann::json& j, bool (*known)(std::string_view)) {
  if (j.is_string()) return known(j.get_ref<const std::string&>());
  if (j.is_object() && j.size() == 1) return known(j.begin().key());
  return false;
}

int run_verb(std::span<const std::string> args) {
  if (args.size() != 1) {
    std::cerr << "usage: zarn-mail-cli verb JSON\n";
    return 2;
  }
  auto doc = text_codec::json_read::parse_strict(args[0]);
  if (!doc) {
    std::cerr << doc.error() << "\n";
    return 1;
  }
  auto action = mail::mail_action_from_json(*doc);
  if (action) {
    std::cout << mail::encode_mail_action(*action) << "\n";
    return 0;
  }
  auto operation = mail::mail_operation_from_json(*doc);
  if (operation) {
    std::cout << mail::encode_mail_operation(*operation) << "\n";
    return 0;
  }
  // Report the error of the verb the input names; both when it names neither.
  if (names_variant(*doc, mail::is_mail_operation_name)) {
    std::cerr << operation.error() << "\n";
  } else if (names_variant(*doc, mail::is_mail_action_name)) {
    std::cerr << action.error() << "\n";
  } else {
    std::cerr << action.error() << "\n" << operation.error() << "\n";
  }
  return 1;
}

const cli::Registration reg{"verb", "verb JSON", run_verb};

}  // namespace
