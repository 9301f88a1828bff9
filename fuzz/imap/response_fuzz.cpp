// Any bytes a server might send: framed (in uneven pieces) and parsed. The
// parser must return a value or an error for every input, within bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

#include "imap/framing.h"
#include "imap/response.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // The whole input as one frame.
  if (auto r = mail::imap::parse_response(bytes)) {
    if (auto* f = std::get_if<mail::imap::Fetch>(&*r)) {
      for (const auto& b : f->bodies) (void)b.section.size();
    }
  }

  // The input as a stream, cut into pieces whose sizes come from its bytes.
  mail::imap::FrameReader reader({.max_line = 4096, .max_literal = 65536, .max_response = 131072});
  // Half the inputs are read as the answer to a search, whose line may be longer.
  if (size > 0 && (data[size - 1] & 1)) reader.allow_long_line("* SEARCH", 65536);
  std::size_t pos = 0;
  std::size_t step = 1;
  while (pos < bytes.size()) {
    step = (step * 31 + static_cast<unsigned char>(bytes[pos])) % 64 + 1;
    reader.feed(bytes.substr(pos, step));
    pos += step;
    for (;;) {
      auto frame = reader.next();
      if (!frame || !*frame) break;
      (void)mail::imap::parse_response(**frame);
    }
  }
  if (size >= 24 && size <= 32) (void)mail::imap::parse_internal_date(bytes);
  return 0;
}
