// zarn-mail-cli build DRAFT.json --from ADDRESS [--name NAME]: the MIME bytes
// of the outgoing message on standard output.
//   exit 0: built; 1: the assembly failed (the reason on stderr); 2: usage or unreadable draft.

#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "command.h"
#include "compose/message.h"

namespace {

int run_build(std::span<const std::string> args) {
  std::string draft_path, from;
  std::optional<std::string> name;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--from" && i + 1 < args.size()) {
      from = args[++i];
    } else if (args[i] == "--name" && i + 1 < args.size()) {
      name = args[++i];
    } else if (draft_path.empty() && !args[i].starts_with("--")) {
      draft_path = args[i];
    } else {
      draft_path.clear();
      break;
    }
  }
  if (draft_path.empty() || from.empty()) {
    std::cerr << "usage: zarn-mail-cli build DRAFT.json --from ADDRESS [--name NAME]\n";
    return 2;
  }
  std::ifstream in(draft_path, std::ios::binary);
  if (!in) {
    std::cerr << "cannot open " << draft_path << "\n";
    return 2;
  }
  std::ostringstream buf;
  buf << in.rdbuf();
  auto j = nlohmann::json::parse(buf.str(), nullptr, false);
  if (j.is_discarded()) {
    std::cerr << draft_path << " is not JSON\n";
    return 2;
  }
  auto draft = mail::draft_from_json(j);
  if (!draft) {
    std::cerr << draft.error() << "\n";
    return 2;
  }
  mail::Address sender{from, name && !name->empty() ? name : std::nullopt};
  auto message = mail::build_message(sender, *draft);
  if (!message) {
    std::cerr << message.error() << "\n";
    return 1;
  }
  std::cout.write(message->data(), static_cast<std::streamsize>(message->size()));
  std::cout.flush();
  return std::cout ? 0 : 1;
}

const cli::Registration reg{"build", "build DRAFT.json --from ADDRESS [--name NAME]", run_build};

}  // namespace
