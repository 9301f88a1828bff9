#include "compose/recipients.h"

#include <string>

#include "text_codec/ascii.h"

namespace mail {
namespace {

using text_codec::trim;

}  // namespace

std::vector<Address> parse_recipients(std::string_view text) {
  std::vector<Address> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t sep = text.find_first_of(",;", start);
    const std::string_view piece = trim(
        text.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start));
    if (!piece.empty()) {
      const std::size_t lt = piece.find('<');
      const std::size_t gt = lt == std::string_view::npos ? lt : piece.find('>', lt + 1);
      Address a;
      if (gt != std::string_view::npos) {
        std::string_view name = trim(piece.substr(0, lt));
        while (!name.empty() && name.front() == '"') name.remove_prefix(1);
        while (!name.empty() && name.back() == '"') name.remove_suffix(1);
        a.email = std::string(trim(piece.substr(lt + 1, gt - lt - 1)));
        if (!name.empty()) a.name = std::string(name);
      } else {
        a.email = std::string(piece);
      }
      out.push_back(std::move(a));
    }
    if (sep == std::string_view::npos) break;
    start = sep + 1;
  }
  return out;
}

}  // namespace mail
