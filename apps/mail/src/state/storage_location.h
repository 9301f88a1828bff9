#pragma once
// Where the application keeps its accounts, secrets and "mail-local.json".

#include <filesystem>
#include <optional>
#include <variant>

namespace mail {

struct StorageLocation {
  struct Default {  // the account services' configuration root; may be unavailable
    bool operator==(const Default&) const = default;
  };
  struct Directory {  // a given folder (the preview scenes' temporary folder)
    std::filesystem::path path;
    bool operator==(const Directory&) const = default;
  };
  struct None {  // nothing is written
    bool operator==(const None&) const = default;
  };
  std::variant<Default, Directory, None> value;

  static StorageLocation default_root() { return {Default{}}; }
  static StorageLocation directory(std::filesystem::path path) {
    return {Directory{std::move(path)}};
  }
  static StorageLocation none() { return {None{}}; }

  // The folder this location stands for now; none for None and for Default
  // when the configuration root cannot be determined.
  [[nodiscard]] std::optional<std::filesystem::path> folder() const;
  bool operator==(const StorageLocation&) const = default;
};

}  // namespace mail
