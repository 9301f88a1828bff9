#pragma once
// Recipient texts as typed in the composer ("Ann <ann@x.org>, bob@y.org; …")
// turned into addresses.

#include <string_view>
#include <vector>

#include "record/record.h"

namespace mail {

// Splits at every "," and ";", trims each piece and skips empty ones. A piece
// with "<" followed later by ">" gives the name before the "<" (trimmed,
// outer double quotes removed; absent when empty) and the address between the
// brackets (trimmed); any other piece is the address whole. Nothing is
// validated here.
[[nodiscard]] std::vector<Address> parse_recipients(std::string_view text);

}  // namespace mail
