#include "state/storage_location.h"

#include "accounts/config_root.h"

namespace mail {

std::optional<std::filesystem::path> StorageLocation::folder() const {
  if (std::holds_alternative<Default>(value)) return accounts::config_root();
  if (const auto* dir = std::get_if<Directory>(&value)) return dir->path;
  return std::nullopt;
}

}  // namespace mail
