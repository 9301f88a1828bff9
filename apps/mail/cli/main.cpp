// zarn-mail-cli: the headless tool over the app's libraries.
#include <algorithm>
#include <iostream>

#include "command.h"

namespace cli {
std::vector<Command>& registry() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace cli

namespace {
void usage(std::ostream& out) {
  auto commands = cli::registry();
  std::sort(commands.begin(), commands.end(),
            [](const cli::Command& a, const cli::Command& b) { return a.name < b.name; });
  out << "usage: zarn-mail-cli COMMAND [ARGS…]\n\ncommands:\n";
  for (const auto& c : commands) out << "  " << c.usage << "\n";
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h") {
    usage(argc < 2 ? std::cerr : std::cout);
    return argc < 2 ? 2 : 0;
  }
  const std::string name = argv[1];
  for (const auto& c : cli::registry()) {
    if (c.name == name) {
      std::vector<std::string> args(argv + 2, argv + argc);
      try {
        return c.run(args);
      } catch (const std::exception& e) {
        std::cerr << "zarn-mail-cli: " << e.what() << "\n";
        return 2;
      }
    }
  }
  std::cerr << "zarn-mail-cli: unknown command \"" << name << "\"\n";
  usage(std::cerr);
  return 2;
}
