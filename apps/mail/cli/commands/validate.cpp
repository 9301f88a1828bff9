// zarn-mail-cli validate SETTINGS.json: the problems validate_settings finds,
// as a JSON array of [field key, message] pairs.
//   exit 0: no problems; 1: problems; 2: the document cannot be read.

#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "command.h"
#include "state/account_settings.h"
#include "validate/settings.h"

namespace {

int run_validate(std::span<const std::string> args) {
  if (args.size() != 1) {
    std::cerr << "usage: zarn-mail-cli validate SETTINGS.json\n";
    return 2;
  }
  std::ifstream in(args[0], std::ios::binary);
  if (!in) {
    std::cerr << "cannot open " << args[0] << "\n";
    return 2;
  }
  std::ostringstream buf;
  buf << in.rdbuf();
  if (in.bad()) {
    std::cerr << "cannot read " << args[0] << "\n";
    return 2;
  }
  auto stored = mail::read_settings_document_text(buf.str());
  if (!stored) {
    std::cerr << stored.error() << "\n";
    return 2;
  }
  const auto problems = mail::validate_settings(stored->settings);
  nlohmann::json out = nlohmann::json::array();
  for (const auto& [field, message] : problems) out.push_back({field, message});
  std::cout << out.dump() << "\n";
  return problems.empty() ? 0 : 1;
}

const cli::Registration reg{"validate", "validate SETTINGS.json", run_validate};

}  // namespace
