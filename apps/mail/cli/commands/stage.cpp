// zarn-mail-cli stage FILE: stores the file's bytes in the blob store (under
// $XDG_DATA_HOME/zarn/blobs) and prints the draft attachment record as JSON.
//   exit 0: staged; 1: refused (the reason on stderr); 2: usage.

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "attach/attach.h"
#include "command.h"

namespace {

int run_stage(std::span<const std::string> args) {
  if (args.size() != 1) {
    std::cerr << "usage: zarn-mail-cli stage FILE\n";
    return 2;
  }
  const int fd = ::open(args[0].c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::cerr << "could not inspect selected file: " << std::strerror(errno) << "\n";
    return 1;
  }
  auto staged = mail::stage_from_file(fd, args[0]);
  if (!staged) {
    std::cerr << staged.error() << "\n";
    return 1;
  }
  std::cout << mail::draft_attachment_to_json(*staged).dump() << "\n";
  return 0;
}

const cli::Registration reg{"stage", "stage FILE", run_stage};

}  // namespace
