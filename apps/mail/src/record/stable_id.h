#pragma once

#include <optional>
#include <string_view>

#include "record/uuid.h"

namespace mail {

// The message id derived from a Message-ID: trimmed, every leading "<" and
// trailing ">" removed, then two 64-bit FNV-1a hashes of the UTF-8 bytes (the
// standard offset basis and 0x0102030405060708), each big-endian. The same
// message fetched twice, from any folder, gets the same id. No Message-ID, or
// one that is blank, gives a random version-4 id.
[[nodiscard]] Uuid stable_message_id(std::optional<std::string_view> message_id);

}  // namespace mail
