#include "zarn_ui/i18n.h"

#include <cstdlib>

#include "text_codec/ascii.h"

namespace zarn_ui {

namespace {
using text_codec::trim;

bool valid_key(std::string_view key) {
  if (key.empty()) return false;
  for (char c : key) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_' || c == '.';
    if (!ok) return false;
  }
  return true;
}
}  // namespace

std::expected<std::vector<MessageEntry>, std::string> parse_messages(std::string_view resource) {
  std::vector<MessageEntry> out;
  std::size_t line_no = 0;
  while (!resource.empty()) {
    ++line_no;
    std::size_t nl = resource.find('\n');
    std::string_view line = resource.substr(0, nl);
    resource = nl == std::string_view::npos ? std::string_view{} : resource.substr(nl + 1);
    std::string_view t = trim(line);
    if (t.empty() || t.front() == '#') continue;
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos || !valid_key(trim(t.substr(0, eq)))) {
      return std::unexpected("line " + std::to_string(line_no) + ": expected \"key = text\"");
    }
    out.push_back({std::string(trim(t.substr(0, eq))), std::string(trim(t.substr(eq + 1)))});
  }
  return out;
}

I18nManager::I18nManager() = default;

I18nManager& I18nManager::global() {
  static I18nManager manager;
  return manager;
}

void I18nManager::init(std::string locale) {
  std::lock_guard lock(mutex_);
  locale_ = std::move(locale);
  ++revision_;
}

std::string I18nManager::current_locale() const {
  std::lock_guard lock(mutex_);
  return locale_;
}

std::uint64_t I18nManager::revision() const {
  std::lock_guard lock(mutex_);
  return revision_;
}

std::expected<void, std::string> I18nManager::add_resource(const std::string& locale,
                                                           std::string_view resource) {
  auto entries = parse_messages(resource);
  if (!entries) return std::unexpected(entries.error());
  std::lock_guard lock(mutex_);
  if (locale.empty()) return {};
  auto& table = texts_[locale];
  bool changed = false;
  for (auto& e : *entries) {
    auto it = table.find(e.key);
    if (it == table.end() || it->second != e.text) {
      table[e.key] = std::move(e.text);
      changed = true;
    }
  }
  if (changed) ++revision_;
  return {};
}

std::string I18nManager::lookup_plain(std::string_view key) const {
  std::lock_guard lock(mutex_);
  auto table = texts_.find(locale_);
  if (table == texts_.end()) return std::string(key);
  auto it = table->second.find(key);
  if (it == table->second.end()) return std::string(key);
  return pseudo_ ? pseudo_localise(it->second) : it->second;
}

std::string I18nManager::lookup(
    std::string_view key, const std::vector<std::pair<std::string, std::string>>& args) const {
  std::string text = lookup_plain(key);
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t open = text.find('{', i);
    if (open == std::string::npos) break;
    std::size_t close = text.find('}', open);
    if (close == std::string::npos) break;
    std::string_view inner = trim(std::string_view(text).substr(open + 1, close - open - 1));
    out.append(text, i, open - i);
    bool filled = false;
    if (!inner.empty() && inner.front() == '$') {
      for (const auto& [name, value] : args) {
        if (inner.substr(1) == name) {
          out += value;
          filled = true;
          break;
        }
      }
    }
    if (!filled) out.append(text, open, close - open + 1);
    i = close + 1;
  }
  out.append(text, std::min(i, text.size()), std::string::npos);
  return out;
}

bool I18nManager::pseudo_locale() const {
  std::lock_guard lock(mutex_);
  return pseudo_;
}

void I18nManager::set_pseudo_locale(bool on) {
  std::lock_guard lock(mutex_);
  if (pseudo_ != on) {
    pseudo_ = on;
    ++revision_;
  }
}

std::string I18nManager::locale_from_environment() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (v == nullptr || *v == '\0') continue;
    std::string s(v);
    if (s == "C" || s == "POSIX" || s.starts_with("C.")) return "en-US";
    s = s.substr(0, s.find_first_of(".@"));
    for (char& c : s) {
      if (c == '_') c = '-';
    }
    return s;
  }
  return "en-US";
}

std::string pseudo_localise(std::string_view text) {
  // Accented look-alikes for ASCII letters, wrapped in brackets, so texts that
  // skipped localisation stand out and layouts get tested with wider glyphs.
  std::string out = "[";
  bool in_placeholder = false;
  for (char c : text) {
    if (c == '{') in_placeholder = true;
    if (c == '}') in_placeholder = false;
    const char* sub = nullptr;
    if (!in_placeholder) {
      switch (c) {
        case 'a':
          sub = "á";
          break;
        case 'e':
          sub = "é";
          break;
        case 'i':
          sub = "í";
          break;
        case 'o':
          sub = "ö";
          break;
        case 'u':
          sub = "ü";
          break;
        case 'c':
          sub = "ç";
          break;
        case 'n':
          sub = "ñ";
          break;
        case 'A':
          sub = "Å";
          break;
        case 'E':
          sub = "É";
          break;
        case 'O':
          sub = "Ö";
          break;
        default:
          break;
      }
    }
    if (sub)
      out += sub;
    else
      out += c;
  }
  out += "]";
  return out;
}

}  // namespace zarn_ui
