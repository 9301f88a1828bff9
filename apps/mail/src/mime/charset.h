#pragma once
// Conversion of decoded body bytes to UTF-8 (internal to the record builder).

#include <string>
#include <string_view>

namespace mail::detail {

// Converts from the declared charset. Labels that mail software means as
// Windows-1252 in practice (ISO-8859-1, US-ASCII) are read as Windows-1252;
// unknown labels and missing ones fall back to UTF-8 when the bytes are valid
// UTF-8, else Windows-1252. Unconvertible bytes become U+FFFD. The result is
// always valid UTF-8.
std::string to_utf8(std::string_view bytes, std::string_view charset);

// Windows-1252 to UTF-8; bytes the code page leaves undefined map to the C1
// control of the same value, as browsers do.
std::string windows1252_to_utf8(std::string_view bytes);

}  // namespace mail::detail
