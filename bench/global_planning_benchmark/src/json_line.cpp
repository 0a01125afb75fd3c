#include "global_planning_benchmark/json_line.hpp"

#include <fmt/format.h>

#include <cmath>

namespace global_planning_benchmark {

namespace {

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20) {
      out += fmt::format("\\u{:04x}", byte);
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

JsonLine& JsonLine::integer(const std::string& key, int64_t value) {
  field(key, std::to_string(value));
  return *this;
}

JsonLine& JsonLine::number(const std::string& key, double value, int decimals) {
  field(key, std::isfinite(value) ? fmt::format("{:.{}f}", value, decimals) : "null");
  return *this;
}

JsonLine& JsonLine::flag(const std::string& key, bool value) {
  field(key, value ? "true" : "false");
  return *this;
}

JsonLine& JsonLine::text(const std::string& key, const std::string& value) {
  field(key, quoted(value));
  return *this;
}

JsonLine& JsonLine::cell(const std::string& key, int64_t x, int64_t y) {
  field(key, "[" + std::to_string(x) + "," + std::to_string(y) + "]");
  return *this;
}

void JsonLine::field(const std::string& key, const std::string& value) {
  if (!body_.empty()) {
    body_ += ',';
  }
  body_ += quoted(key) + ':' + value;
}

}  // namespace global_planning_benchmark
