#pragma once
// One leveled logger for the whole program. Messages begin "mail: " and carry
// their values as named fields: `warn("mail::app", "mail: x", {{"error", e}})`
// prints `mail: x error="…"` under the target name.

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace zlog {

enum class Level { debug, info, warn, error };

struct Field {
  std::string_view name;
  std::string value;
};

inline constexpr std::string_view app = "mail::app";
inline constexpr std::string_view engine = "mail::engine";

void write(Level level, std::string_view target, std::string_view message,
           std::initializer_list<Field> fields = {});

inline void debug(std::string_view t, std::string_view m, std::initializer_list<Field> f = {}) {
  write(Level::debug, t, m, f);
}
inline void info(std::string_view t, std::string_view m, std::initializer_list<Field> f = {}) {
  write(Level::info, t, m, f);
}
inline void warn(std::string_view t, std::string_view m, std::initializer_list<Field> f = {}) {
  write(Level::warn, t, m, f);
}
inline void error(std::string_view t, std::string_view m, std::initializer_list<Field> f = {}) {
  write(Level::error, t, m, f);
}

// The line as it is printed: message, then ` name="value"` per field.
std::string format_line(std::string_view message, std::initializer_list<Field> fields);

// Tests observe what is logged through a capture; it replaces printing while set.
using Capture = std::function<void(Level, std::string_view target, std::string_view line)>;
void set_capture(Capture capture);

}  // namespace zlog
