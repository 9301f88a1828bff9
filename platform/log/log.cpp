#include "log/log.h"

#include <memory>
#include <mutex>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

namespace zlog {
namespace {

std::mutex& capture_mutex() {
  static std::mutex m;
  return m;
}
Capture& capture_slot() {
  static Capture c;
  return c;
}

std::shared_ptr<spdlog::logger> logger_for(std::string_view target) {
  std::string name(target);
  if (auto existing = spdlog::get(name)) return existing;
  try {
    auto made = spdlog::stderr_color_mt(name);
    made->set_pattern("%Y-%m-%dT%H:%M:%S.%eZ %l %n: %v", spdlog::pattern_time_type::utc);
    return made;
  } catch (const spdlog::spdlog_ex&) {
    return spdlog::get(name);  // another thread registered it first
  }
}

spdlog::level::level_enum to_spdlog(Level level) {
  switch (level) {
    case Level::debug: return spdlog::level::debug;
    case Level::info: return spdlog::level::info;
    case Level::warn: return spdlog::level::warn;
    case Level::error: return spdlog::level::err;
  }
  return spdlog::level::info;
}

void append_quoted(std::string& out, std::string_view value) {
  out += '"';
  for (unsigned char c : value) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20) {
      static const char* hex = "0123456789abcdef";
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

}  // namespace

std::string format_line(std::string_view message, std::initializer_list<Field> fields) {
  std::string line(message);
  for (const Field& f : fields) {
    line += ' ';
    line += f.name;
    line += '=';
    append_quoted(line, f.value);
  }
  return line;
}

void write(Level level, std::string_view target, std::string_view message,
           std::initializer_list<Field> fields) {
  const std::string line = format_line(message, fields);
  {
    std::lock_guard lock(capture_mutex());
    if (capture_slot()) {
      capture_slot()(level, target, line);
      return;
    }
  }
  if (auto logger = logger_for(target)) logger->log(to_spdlog(level), line);
}

void set_capture(Capture capture) {
  std::lock_guard lock(capture_mutex());
  capture_slot() = std::move(capture);
}

}  // namespace zlog
