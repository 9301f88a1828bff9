#pragma once
// Localised texts. Resources use a small message format:
//
//   # a comment            ## a group heading
//   some-key = Text with a { $name } placeholder
//
// One manager serves the process; lookups of a key without a text in the
// current locale return the key itself.

#include <cstdint>
#include <expected>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zarn_ui {

struct MessageEntry {
  std::string key;
  std::string text;
};

// Parses a resource; an error names the first line that is not a comment,
// a heading, blank, or "key = text".
[[nodiscard]] std::expected<std::vector<MessageEntry>, std::string> parse_messages(
    std::string_view resource);

class I18nManager {
 public:
  static I18nManager& global();

  // Sets the current locale (e.g. "en-US"). Changes the revision.
  void init(std::string locale);
  std::string current_locale() const;
  // Incremented by every change that can alter a lookup.
  std::uint64_t revision() const;

  // Adds the resource's texts for `locale`. Nothing is added (and the revision
  // stays) when the locale is empty or the texts are already there.
  [[nodiscard]] std::expected<void, std::string> add_resource(const std::string& locale,
                                                              std::string_view resource);

  std::string lookup_plain(std::string_view key) const;
  // Fills "{ $name }" placeholders from `args`; unknown names stay as written.
  std::string lookup(std::string_view key,
                     const std::vector<std::pair<std::string, std::string>>& args) const;

  // The pseudo-locale decorates every looked-up text (for spotting literals).
  bool pseudo_locale() const;
  void set_pseudo_locale(bool on);

  // Locale from the environment (LC_ALL, LC_MESSAGES, LANG), "en_US.UTF-8" → "en-US".
  static std::string locale_from_environment();

  I18nManager();  // a fresh manager, for tests; the app uses global()

 private:
  mutable std::mutex mutex_;
  std::string locale_;
  std::uint64_t revision_ = 0;
  bool pseudo_ = false;
  std::map<std::string, std::map<std::string, std::string, std::less<>>> texts_;
};

std::string pseudo_localise(std::string_view text);

}  // namespace zarn_ui
