#pragma once
// Runs a zarn-mail-cli subcommand in-process, capturing what it prints. The
// test executable compiles in the command files it exercises.

#include <string>
#include <vector>

namespace testing_support {

struct CliRun {
  int code;
  std::string out, err;
};

CliRun run_cli(const std::string& name, std::vector<std::string> args);

}  // namespace testing_support
