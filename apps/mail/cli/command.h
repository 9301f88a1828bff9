#pragma once
// zarn-mail-cli subcommands. Each file in commands/ registers its own
// subcommands with a static Registration, so adding one touches no table.
//
//   static const cli::Registration reg{"validate", "validate SETTINGS.json", run_validate};

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Arguments after the subcommand name. Returns the process exit code.
using Handler = std::function<int(std::span<const std::string> args)>;

struct Command {
  std::string name;
  std::string usage;
  Handler run;
};

std::vector<Command>& registry();

struct Registration {
  Registration(std::string name, std::string usage, Handler run) {
    registry().push_back({std::move(name), std::move(usage), std::move(run)});
  }
};

}  // namespace cli
