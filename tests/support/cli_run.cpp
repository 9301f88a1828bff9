#include "support/cli_run.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "command.h"

namespace cli {
std::vector<Command>& registry() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace cli

namespace testing_support {

CliRun run_cli(const std::string& name, std::vector<std::string> args) {
  for (const auto& c : cli::registry()) {
    if (c.name != name) continue;
    std::ostringstream out, err;
    auto* old_out = std::cout.rdbuf(out.rdbuf());
    auto* old_err = std::cerr.rdbuf(err.rdbuf());
    const int code = c.run(args);
    std::cout.rdbuf(old_out);
    std::cerr.rdbuf(old_err);
    return {code, out.str(), err.str()};
  }
  ADD_FAILURE() << "no command " << name;
  return {-1, "", ""};
}

}  // namespace testing_support
