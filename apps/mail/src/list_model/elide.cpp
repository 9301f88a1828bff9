#include "list_model/elide.h"

#include <vector>

#include "record/text.h"

namespace mail {

namespace {

constexpr std::string_view ellipsis = "…";

// The first `chars` characters, trailing white space trimmed, plus "…".
std::string candidate(std::string_view text, const std::vector<std::size_t>& starts,
                      std::size_t chars) {
  std::string_view prefix = text.substr(0, starts[chars]);
  // Trim trailing white space only.
  std::size_t end = 0;
  for (std::size_t pos = 0; pos < prefix.size();) {
    const char32_t cp = utf8_next(prefix, pos);
    if (!is_unicode_space(cp)) end = pos;
  }
  std::string out(prefix.substr(0, end));
  out += ellipsis;
  return out;
}

}  // namespace

std::string elide_to_fit(std::string_view text, int weight, float size, float max_width,
                         const TextMeasure& measure) {
  if (!(max_width > 1.0f)) return {};
  if (measure.width(text, weight, size) <= max_width) return std::string(text);

  // starts[i] is the byte offset of character i; starts[n] the end.
  std::vector<std::size_t> starts;
  for (std::size_t pos = 0; pos < text.size();) {
    starts.push_back(pos);
    utf8_next(text, pos);
  }
  const std::size_t n = starts.size();
  starts.push_back(text.size());
  if (n == 0) return std::string(ellipsis);

  auto fits = [&](std::size_t chars) {
    return measure.width(candidate(text, starts, chars), weight, size) <= max_width;
  };
  // Dropping characters one by one from the end stops at the longest prefix
  // that fits; widths grow with the prefix, so a binary search finds it in
  // few measurements even for very long texts.
  std::size_t lo = 0, hi = n - 1;  // answer in [0, n-1]; 0 means "…" alone
  if (n == 1 || !fits(1)) return std::string(ellipsis);
  lo = 1;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo + 1) / 2;
    if (fits(mid))
      lo = mid;
    else
      hi = mid - 1;
  }
  // Guard against measurements that are not monotone: the result must fit.
  while (lo > 0 && !fits(lo)) --lo;
  return lo == 0 ? std::string(ellipsis) : candidate(text, starts, lo);
}

}  // namespace mail
